#include "lyrics/DesktopLyricsWindow.h"

#include <fontconfig/fontconfig.h>

#include <QBitmap>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSessionManager>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "lyrics/LyricStyle.h"

namespace lumora {

namespace {

constexpr int kFirstFontPixels = 20;

std::optional<QRgb> outlineFor(int colour) {
  if (colour == -1) return std::nullopt;
  return ColourRefToArgb(colour);
}

QRect primaryWorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

QFont makeFont(const QString& family, int sizePixels, bool bold, bool italic, bool underline) {
  QFont font(ChooseLyricsFontFamily(family));
  // A zero or negative pixel size is not a font; draw at least something visible.
  font.setPixelSize(std::max(1, sizePixels));
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  return font;
}

}  // namespace

QRgb ColourRefToArgb(int colour, int alpha) {
  const auto value = static_cast<unsigned>(colour);
  const unsigned red = value & 0xFF;
  const unsigned green = (value >> 8) & 0xFF;
  const unsigned blue = (value >> 16) & 0xFF;
  const auto a = static_cast<unsigned>(std::clamp(alpha, 0, 255));
  return (a << 24) | (red << 16) | (green << 8) | blue;
}

// Asked of fontconfig, which knows a face by each of its names: the toolkit lists only the one
// in the locale's language (文泉驿微米黑 in zh_CN, WenQuanYi Micro Hei elsewhere).
bool FamilyInstalled(const QString& name) {
  if (name.isEmpty()) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY,
                     reinterpret_cast<const FcChar8*>(name.toUtf8().constData()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  const bool found = fonts && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

QString ChooseLyricsFontFamily(const QString& family) {
  const QStringList candidates = {family,
                                  QStringLiteral("微软雅黑"),
                                  QStringLiteral("楷体"),
                                  QStringLiteral("黑体"),
                                  QStringLiteral("宋体"),
                                  QStringLiteral("Tahoma")};
  for (const QString& name : candidates) {
    if (FamilyInstalled(name)) return name;
    for (const LyricFace& face : kLyricFaces) {
      if (name != QString::fromUtf8(face.designed)) continue;
      for (const char* standIn : face.installed) {
        if (FamilyInstalled(QString::fromUtf8(standIn))) return QString::fromUtf8(standIn);
      }
    }
  }
  // None of them: the system's own face still draws CJK text, so lyrics always show.
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// ---------------------------------------------------------------------------------------------

LyricsSurface::LyricsSurface()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setObjectName(QString::fromLatin1(kLyricsWindowClass));
  setWindowTitle(QString::fromLatin1(kLyricsWindowClass));
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, &LyricsSurface::sessionEnding);
    app->installEventFilter(this);
  }
}

namespace {

// The input shape is the drawn pixels, so a click on a transparent one reaches whatever lies
// beneath the window. Nothing drawn leaves one pixel, since an empty mask would mean no shape at
// all.
QRegion DrawnRegion(const QImage& image) {
  QImage bits(image.size(), QImage::Format_MonoLSB);
  // A bitmap's region is its black (color1) pixels: bit 1 is black, bit 0 white.
  bits.setColor(0, qRgb(255, 255, 255));
  bits.setColor(1, qRgb(0, 0, 0));
  bits.fill(0);
  const QImage argb = image.format() == QImage::Format_ARGB32_Premultiplied
                          ? image
                          : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  bool any = false;
  const int width = argb.width();
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    uchar* out = bits.scanLine(y);
    for (int x = 0; x < width; ++x) {
      if (qAlpha(row[x]) == 0) continue;
      out[x >> 3] |= static_cast<uchar>(1u << (x & 7));
      any = true;
    }
  }
  if (!any) return QRegion(0, 0, 1, 1);
  return QRegion(QBitmap::fromImage(bits));
}

}  // namespace

void LyricsSurface::setImage(QImage image) {
  image_ = std::move(image);
  setMask(DrawnRegion(image_));
  update();
}

void LyricsSurface::amendImage(const QRect& changed, const std::function<void(QPainter&)>& draw) {
  if (image_.isNull()) return;
  {
    QPainter painter(&image_);
    draw(painter);
  }
  update(changed);
}

const QImage& LyricsSurface::image() const {
  if (refreshImage) refreshImage();
  return image_;
}

void LyricsSurface::showEvent(QShowEvent* event) {
  if (refreshImage) refreshImage();
  QWidget::showEvent(event);
}

void LyricsSurface::sessionEnding() { noClose = false; }

bool LyricsSurface::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    // Quitting closes every window first and gives up if one refuses; the lyrics window must not
    // keep the program alive. Should the quit fail elsewhere, refuse closes again afterwards.
    appQuitting_ = true;
    QTimer::singleShot(0, this, [this] { appQuitting_ = false; });
  }
  return QWidget::eventFilter(watched, event);
}

void LyricsSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), Qt::transparent);
  painter.drawImage(0, 0, image_);
}

void LyricsSurface::closeEvent(QCloseEvent* event) {
  if (noClose && !appQuitting_) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void LyricsSurface::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton || !hitMove) return;
  const QPoint at = event->position().toPoint();
  // Only drawn pixels grab the window, as with a per-pixel transparent window.
  if (!image_.valid(at) || qAlpha(image_.pixel(at)) == 0) return;
  if (QWindow* window = windowHandle(); window && window->startSystemMove()) return;
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void LyricsSurface::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  if (dragOffset_) move(event->globalPosition().toPoint() - *dragOffset_);
}

void LyricsSurface::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) dragOffset_.reset();
}

// ---------------------------------------------------------------------------------------------

DesktopLyricsWindow::DesktopLyricsWindow(WorkAreaSource workArea)
    : workArea_(workArea ? std::move(workArea) : WorkAreaSource(primaryWorkArea)) {}

DesktopLyricsWindow::~DesktopLyricsWindow() { Destroy(); }

bool DesktopLyricsWindow::Create(std::optional<int> width, std::optional<int> height) {
  if (!CreateHidden(width, height)) return false;
  Show();
  return true;
}

bool DesktopLyricsWindow::CreateHidden(std::optional<int> width, std::optional<int> height) {
  if (IsCreated()) return false;
  const QRect area = workArea_();
  const int w = width.value_or(area.width());
  const int h = height.value_or(150);
  if (w <= 0 || h <= 0) return false;
  // Centred from 0 rather than from the work area's left edge, as the window always was.
  const int left = (area.width() - w) / 2;
  const int top = area.y() + area.height() - h;

  auto* surface = new LyricsSurface;
  surface->setGeometry(left, top, w, h);
  if (!Attach(surface)) {
    delete surface;
    return false;
  }
  SetHitMove(true);
  return true;
}

bool DesktopLyricsWindow::Attach(LyricsSurface* surface) {
  if (!surface || IsCreated()) return false;
  window_ = surface;
  drawn_.reset();
  surface->refreshImage = [this] { refreshImage(); };
  Init();
  return true;
}

void DesktopLyricsWindow::Destroy() {
  delete window_.data();
  window_ = nullptr;
}

void DesktopLyricsWindow::Init() {
  if (initialised_) return;
  initialised_ = true;
  look_.font = makeFont(QString(), kFirstFontPixels, false, false, false);
  look_.textFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine;
  SetFont(QString(), 50, true, false, false);
  SetBackground(0, 0, false);
  SetShadow(0, 150, 2, false);
  SetFillColours(0x00FEE3, 0x00B133, 0, 1);
  SetHighlightColours(0x1483FE, 0x00FFFF, 0, 1);
}

void DesktopLyricsWindow::SetFont(const QString& family, int sizePixels, bool bold, bool italic,
                                  bool underline) {
  look_.font = makeFont(family, sizePixels, bold, italic, underline);
}

void DesktopLyricsWindow::SetBackground(int colour, int alpha, bool redraw) {
  look_.background.reset();
  if (alpha > 0) look_.background = ColourRefToArgb(colour, alpha);
  if (redraw && IsCreated()) Redraw();
}

void DesktopLyricsWindow::SetShadow(int colour, int alpha, int offset, bool redraw) {
  look_.shadow.reset();
  look_.shadowOffset = std::max(0, offset);
  if (alpha >= 1 && look_.shadowOffset >= 1) look_.shadow = ColourRefToArgb(colour, alpha);
  if (redraw && IsCreated()) Redraw();
}

void DesktopLyricsWindow::SetFillColours(int colour1, int colour2, int outlineColour, int mode) {
  look_.fillOutline = outlineFor(outlineColour);
  look_.fillColours = {ColourRefToArgb(colour1), ColourRefToArgb(colour2)};
  look_.fillMode = mode;
}

void DesktopLyricsWindow::SetHighlightColours(int colour1, int colour2, int outlineColour,
                                              int mode) {
  look_.highlightOutline = outlineFor(outlineColour);
  look_.highlightColours = {ColourRefToArgb(colour1), ColourRefToArgb(colour2)};
  look_.highlightMode = mode;
}

void DesktopLyricsWindow::Show() {
  if (window_) window_->show();
}

void DesktopLyricsWindow::Hide() {
  if (window_) window_->hide();
}

void DesktopLyricsWindow::Move(std::optional<int> left, std::optional<int> top,
                               std::optional<int> width, std::optional<int> height, bool noRedraw) {
  if (!window_) return;
  if (left || top) window_->move(left.value_or(window_->x()), top.value_or(window_->y()));
  if (width || height) {
    window_->resize(width.value_or(window_->width()), height.value_or(window_->height()));
    if (!noRedraw) Redraw();
  }
}

int DesktopLyricsWindow::Width() const { return window_ ? window_->width() : 0; }
int DesktopLyricsWindow::Height() const { return window_ ? window_->height() : 0; }
int DesktopLyricsWindow::Top() const { return window_ ? window_->y() : 0; }
int DesktopLyricsWindow::Left() const { return window_ ? window_->x() : 0; }
LyricsSurface* DesktopLyricsWindow::Handle() const { return window_.data(); }
bool DesktopLyricsWindow::IsCreated() const { return !window_.isNull(); }

void DesktopLyricsWindow::SetTopmost(bool topmost) {
  if (!window_) return;
  // Changing window flags hides the window; bring it back as it was.
  const bool visible = window_->isVisible();
  window_->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  if (visible) window_->show();
}

void DesktopLyricsWindow::SetHitMove(bool on) {
  if (window_) window_->hitMove = on;
}

void DesktopLyricsWindow::SetNoClose(bool on) {
  if (window_) window_->noClose = on;
}

void DesktopLyricsWindow::SetText(const QString& text, int highlightPercent) {
  look_.text = text;
  look_.highlightPercent = std::clamp(highlightPercent, 0, 100);
  Redraw();
}

void DesktopLyricsWindow::SetText(const std::string& utf8, int highlightPercent) {
  SetText(QString::fromStdString(utf8), highlightPercent);
}

void DesktopLyricsWindow::SetText(const char* utf8, int highlightPercent) {
  SetText(QString::fromUtf8(utf8), highlightPercent);
}

void DesktopLyricsWindow::Redraw() {
  if (window_ && window_->isVisible()) refreshImage();
}

namespace {

// Every look field but the share is the same.
bool sameButShare(LyricsLook a, const LyricsLook& b) {
  a.highlightPercent = b.highlightPercent;
  return a == b;
}

}  // namespace

void DesktopLyricsWindow::lightColumns(QPainter& painter, const LitInk& lit, int from, int to) {
  if (to <= from || lit.image.isNull()) return;
  painter.save();
  painter.setClipRect(QRect(from, 0, to - from, painter.device()->height()));
  painter.drawImage(lit.at, lit.image);
  painter.restore();
}

void DesktopLyricsWindow::refreshImage() {
  if (!window_) return;
  const QSize size = window_->size();
  if (drawn_ && drawn_->look == look_ && drawn_->size == size) return;
  const int percent = look_.highlightPercent;
  if (drawn_ && drawn_->size == size && sameButShare(drawn_->look, look_) &&
      percent > drawn_->look.highlightPercent && sweepKeepsShape()) {
    // The sweep moved on: light only the new columns, the shape stays.
    if (!lit_) lit_ = renderLit(size, shapeText(size));
    const int from = shareEdge(*lit_, size.width(), drawn_->look.highlightPercent);
    const int to = shareEdge(*lit_, size.width(), percent);
    window_->amendImage(QRect(from, 0, to - from, size.height()),
                        [&](QPainter& painter) { lightColumns(painter, *lit_, from, to); });
  } else {
    // The window is as wide as the screen: drawn over the last image's pixels rather than new
    // memory, a new line costs no page faults.
    window_->setImage(render(size, &lit_, window_->releaseImage()));
  }
  drawn_ = Drawn{look_, size};
  ++renderCount_;
}

bool DesktopLyricsWindow::sweepKeepsShape() const {
  return !look_.highlightOutline || look_.fillOutline;
}

QImage DesktopLyricsWindow::Render(QSize size) const { return render(size, nullptr); }

QImage DesktopLyricsWindow::render(QSize size, std::optional<LitInk>* kept, QImage canvas) const {
  const std::optional<Shape> shape = shapeText(size);
  QImage image = renderUnlit(size, shape, std::move(canvas));
  std::optional<LitInk> lit;
  if (look_.highlightPercent > 0 && !image.isNull()) {
    lit = renderLit(size, shape);
    QPainter painter(&image);
    lightColumns(painter, *lit, 0, shareEdge(*lit, size.width(), look_.highlightPercent));
  }
  if (kept) *kept = std::move(lit);
  return image;
}

std::optional<DesktopLyricsWindow::Shape> DesktopLyricsWindow::shapeText(QSize size) const {
  if (!look_.font || look_.text.isEmpty()) return std::nullopt;
  const QFont& font = *look_.font;
  const QFontMetricsF metrics(font);
  const QSizeF textSize = metrics.size(look_.textFlags, look_.text);
  Shape shape;
  shape.textRect =
      QRectF((size.width() - textSize.width()) / 2, (size.height() - textSize.height()) / 2,
             textSize.width(), textSize.height());
  shape.path.addText(QPointF(shape.textRect.left(), shape.textRect.top() + metrics.ascent()), font,
                     look_.text);
  return shape;
}

QImage DesktopLyricsWindow::renderUnlit(QSize size, const std::optional<Shape>& shape,
                                        QImage canvas) const {
  QImage image = std::move(canvas);
  if (image.size() != size || image.format() != QImage::Format_ARGB32_Premultiplied)
    image = QImage(size, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  FillBackground(painter, image.rect());
  if (shape) DrawText(painter, *shape);
  return image;
}

void DesktopLyricsWindow::FillBackground(QPainter& painter, const QRect& area) const {
  if (look_.background) painter.fillRect(area, QColor::fromRgba(*look_.background));
}

void DesktopLyricsWindow::DrawText(QPainter& painter, const Shape& shape) const {
  // Shaping the text is most of a render: the shadow is the same outline, moved.
  if (look_.shadow) {
    painter.fillPath(shape.path.translated(look_.shadowOffset, look_.shadowOffset),
                     QColor::fromRgba(*look_.shadow));
  }
  // The outline goes first so that the fill covers its inner half.
  if (look_.fillOutline) {
    painter.strokePath(shape.path, QPen(QColor::fromRgba(*look_.fillOutline), 1.0));
  }
  painter.fillPath(shape.path, CreateBrush(look_.fillMode, look_.fillColours, shape.textRect));
}

DesktopLyricsWindow::LitInk DesktopLyricsWindow::renderLit(
    QSize size, const std::optional<Shape>& shape) const {
  LitInk lit;
  if (!shape) return lit;
  lit.textRect = shape->textRect;
  // The outline reaches half a pixel past the path; antialiasing one more.
  const QRect bounds =
      shape->path.controlPointRect().toAlignedRect().adjusted(-2, -2, 2, 2) & QRect(QPoint(), size);
  if (bounds.isEmpty()) return lit;
  lit.at = bounds.topLeft();
  lit.image = QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
  lit.image.fill(Qt::transparent);
  QPainter painter(&lit.image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(-lit.at);
  if (look_.highlightOutline) {
    painter.strokePath(shape->path, QPen(QColor::fromRgba(*look_.highlightOutline), 1.0));
  }
  painter.fillPath(shape->path,
                   CreateBrush(look_.highlightMode, look_.highlightColours, shape->textRect));
  return lit;
}

int DesktopLyricsWindow::shareEdge(const LitInk& lit, int imageWidth, int percent) {
  if (percent <= 0) return 0;
  if (percent >= 100) return imageWidth;
  // Whole columns, so that lighting a line in steps gives the same pixels as lighting it at once.
  return std::clamp(
      static_cast<int>(std::lround(lit.textRect.left() + lit.textRect.width() * percent / 100)), 0,
      imageWidth);
}

QBrush DesktopLyricsWindow::CreateBrush(int mode, const std::array<QRgb, 2>& colours,
                                        const QRectF& textRect) {
  if (mode != 1 && mode != 2) return QBrush(QColor::fromRgba(colours[0]));
  const qreal span = mode == 1 ? textRect.height() : textRect.height() / 2;
  QLinearGradient gradient(textRect.topLeft(), QPointF(textRect.left(), textRect.top() + span));
  gradient.setColorAt(0, QColor::fromRgba(colours[0]));
  gradient.setColorAt(1, QColor::fromRgba(colours[1]));
  // Mirrored tiling: mode 2 runs first, second, first from top to bottom.
  gradient.setSpread(QGradient::ReflectSpread);
  return QBrush(gradient);
}

bool setUpDesktopLyricsAtStartup(DesktopLyricsWindow& lyrics, const QString& fontFace, int fontSize,
                                 bool bold, bool italic, bool underline) {
  // Shown, it would be rendered once per step below only to be hidden again.
  const bool created = lyrics.CreateHidden();
  lyrics.SetHitMove(true);
  lyrics.SetNoClose(true);
  lyrics.SetFont(fontFace, fontSize, bold, italic, underline);
  const LyricColours& c = kStartupLyricColours;
  lyrics.SetFillColours(c.colour1, c.colour2, c.outline, c.gradientMode);
  lyrics.SetText("欢迎进入Lumora");
  lyrics.Hide();
  return created;
}

}  // namespace lumora
