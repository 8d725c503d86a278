#pragma once

// The desktop lyrics window: one line of text drawn as a path (shadow, one-pixel outline, solid
// or gradient fill) over fully transparent pixels, in a frameless always-on-top tool window at
// the bottom of the work area.

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class QPainter;

namespace lumora {

// Window class and title of the lyrics window.
inline constexpr char kLyricsWindowClass[] = "DizazLyricsWindow";

// The top-level window itself. It shows the last image it was given and carries the two
// behaviour flags: refuse close requests, and drag the window from a drawn pixel.
class LyricsSurface : public QWidget {
  Q_OBJECT

 public:
  LyricsSurface();

  // A new image: its drawn pixels become the input shape, and all of it is painted.
  void setImage(QImage image);
  // Gives up the image, so the next one can be drawn over its pixels; setImage follows.
  QImage releaseImage() { return std::exchange(image_, QImage()); }
  // Draws a change that keeps the drawn pixels into the image in place and paints only
  // `changed`: what the karaoke sweep does many times a second.
  void amendImage(const QRect& changed, const std::function<void(QPainter&)>& draw);
  // Brings the image up to date first, so a window styled while hidden answers with the new look.
  const QImage& image() const;

  bool hitMove = false;
  bool noClose = false;
  // Called before the image is shown or read; the owner renders there what it put off.
  std::function<void()> refreshImage;

 public slots:
  // The desktop session is ending: close requests must succeed from now on.
  void sessionEnding();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage image_;
  // Set while the application works through a quit request, which a refused close would cancel.
  bool appQuitting_ = false;
  // Set while we move the window ourselves because the platform offers no system move.
  std::optional<QPoint> dragOffset_;
};

// What the renderer needs; everything DesktopLyricsWindow draws is a function of this.
struct LyricsLook {
  QString text;
  int highlightPercent = 0;

  std::array<QRgb, 2> fillColours{};
  int fillMode = 0;
  std::optional<QRgb> fillOutline;

  std::array<QRgb, 2> highlightColours{};
  int highlightMode = 0;
  std::optional<QRgb> highlightOutline;

  std::optional<QRgb> shadow;
  int shadowOffset = 0;

  std::optional<QRgb> background;

  std::optional<QFont> font;
  int textFlags = 0;

  bool operator==(const LyricsLook&) const = default;
};

class DesktopLyricsWindow {
 public:
  using WorkAreaSource = std::function<QRect()>;

  // The work area defaults to the primary screen's available geometry.
  explicit DesktopLyricsWindow(WorkAreaSource workArea = {});
  ~DesktopLyricsWindow();
  DesktopLyricsWindow(const DesktopLyricsWindow&) = delete;
  DesktopLyricsWindow& operator=(const DesktopLyricsWindow&) = delete;

  bool Create(std::optional<int> width = std::nullopt, std::optional<int> height = std::nullopt);
  // Create without showing: nothing is mapped or rendered until the first Show.
  bool CreateHidden(std::optional<int> width = std::nullopt,
                    std::optional<int> height = std::nullopt);
  // Adopts a surface (and owns it from then on); fails on null or when a window exists.
  bool Attach(LyricsSurface* surface);
  void Destroy();
  void Init();

  void SetFont(const QString& family, int sizePixels, bool bold, bool italic, bool underline);
  void SetBackground(int colour, int alpha, bool redraw);
  void SetShadow(int colour, int alpha, int offset, bool redraw);
  // An outline colour of -1 means no outline.
  void SetFillColours(int colour1, int colour2, int outlineColour, int mode);
  void SetHighlightColours(int colour1, int colour2, int outlineColour, int mode);

  void Show();
  void Hide();
  void Move(std::optional<int> left, std::optional<int> top,
            std::optional<int> width = std::nullopt, std::optional<int> height = std::nullopt,
            bool noRedraw = false);
  int Width() const;
  int Height() const;
  int Top() const;
  int Left() const;
  LyricsSurface* Handle() const;
  bool IsCreated() const;
  void SetTopmost(bool topmost);
  void SetHitMove(bool on);
  void SetNoClose(bool on);

  void SetText(const QString& text, int highlightPercent = 0);
  void SetText(const std::string& utf8, int highlightPercent = 0);
  void SetText(const char* utf8, int highlightPercent = 0);
  // Renders when the look or the size differs from the image's; a hidden window waits until it
  // is shown (or its image is read).
  void Redraw();
  // How many images were rendered for the window so far.
  int RenderCount() const { return renderCount_; }

  static QBrush CreateBrush(int mode, const std::array<QRgb, 2>& colours, const QRectF& textRect);

  // The image for the current state at the given size, without touching any window.
  QImage Render(QSize size) const;

  const LyricsLook& look() const { return look_; }

 private:
  void refreshImage();
  // The line as a path, and the box it is centred in.
  struct Shape {
    QPainterPath path;
    QRectF textRect;
  };
  std::optional<Shape> shapeText(QSize size) const;
  // The lit ink of the line (highlight outline and fill over nothing), for the part of the image
  // it covers.
  struct LitInk {
    QImage image;
    QPoint at;
    QRectF textRect;
  };
  // The whole image at the current share, the line shaped once; `kept` receives the lit ink it
  // drew, for the sweep's later steps. Drawn over `canvas` when it has the size.
  QImage render(QSize size, std::optional<LitInk>* kept, QImage canvas = {}) const;
  // Background, shadow, outline and fill: the line with nothing lit.
  QImage renderUnlit(QSize size, const std::optional<Shape>& shape, QImage canvas) const;
  void FillBackground(QPainter& painter, const QRect& area) const;
  // Shadow, outline and fill; the lit share is drawn over it by the sweep.
  void DrawText(QPainter& painter, const Shape& shape) const;
  LitInk renderLit(QSize size, const std::optional<Shape>& shape) const;
  // Where the lit share's edge falls at a given percent, in whole columns.
  static int shareEdge(const LitInk& lit, int imageWidth, int percent);
  // Lights the columns [from, to) of an image: the lit ink over what is there.
  static void lightColumns(QPainter& painter, const LitInk& lit, int from, int to);
  // Whether a share change alone leaves the drawn pixels as they are: the lit ink's outline,
  // if any, covers no pixel the unlit ink leaves clear.
  bool sweepKeepsShape() const;

  WorkAreaSource workArea_;
  QPointer<LyricsSurface> window_;
  bool initialised_ = false;
  LyricsLook look_;
  // What the surface's image shows; each 100 ms tick repeats the same line.
  struct Drawn {
    LyricsLook look;
    QSize size;
  };
  std::optional<Drawn> drawn_;
  // The lit ink of the drawn look, made on the first share above 0 and kept while only the share
  // moves.
  std::optional<LitInk> lit_;
  int renderCount_ = 0;
};

// Windows colour value (0x00BBGGRR) to ARGB; alpha is clamped to 0..255.
QRgb ColourRefToArgb(int colour, int alpha = 255);

// The first of the family, then the usual CJK faces, that the system has, each face either by
// its own name or by an installed stand-in of the same style (kLyricFaces); the system's default
// family when it has none of them.
QString ChooseLyricsFontFamily(const QString& family);

// What start-up does to the lyrics window: create it, make it draggable and unclosable, style it
// with the given font and the default colours, greet, and hide it. Returns Create's result.
bool setUpDesktopLyricsAtStartup(DesktopLyricsWindow& lyrics, const QString& fontFace, int fontSize,
                                 bool bold, bool italic, bool underline);

}  // namespace lumora
