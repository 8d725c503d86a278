#include "face/MainWindowControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <utility>

#include "behaviour/SleepTimer.h"
#include "face/FacePictures.h"
#include "settings/Settings.h"
#include "widgets/ColourPicker.h"
#include "widgets/ColourStrip.h"
#include "widgets/FittedLabel.h"
#include "widgets/FormPlacing.h"
#include "widgets/PictureButton.h"

namespace lumora {

namespace {

const char* const kStyle = R"(
QWidget { color: #e8ecf2; }
QLabel { background: transparent; }
QLabel#歌手名称 { color: #9aa6b8; }
QFrame#外形框1, QFrame#外形框2 { background: #161a23; border: none; }
QFrame#信息提示框, QFrame#信息框, QFrame#外形框3 {
  background: #262d3b; border: 1px solid #3a4456; border-radius: 6px; }
QLabel#标签1, QLabel#标签2, QLabel#提示, QLabel#信息框标签_头部, QLabel#设置标签3 {
  color: #ffffff; font-weight: bold; }
QComboBox { background: #2a3140; border: 1px solid #3a4456; border-radius: 3px;
  padding: 0 3px; min-height: 16px; }
QComboBox:hover { border-color: #2f8fff; }
QComboBox::drop-down { border: none; width: 12px; }
QComboBox QAbstractItemView { background: #2a3140; selection-background-color: #2f8fff;
  border: 1px solid #3a4456; }
QPushButton { background: #2a3140; border: 1px solid #3a4456; border-radius: 3px; padding: 0; }
QPushButton:hover { border-color: #2f8fff; }
QPushButton:pressed { background: #2f8fff; }
QPushButton:disabled { background: #1b2029; border-color: #262d3b; color: #4a5466; }
QLineEdit { background: #1b2029; border: 1px solid #3a4456; border-radius: 3px; color: #c0c0c0;
  padding: 0 3px; }
QTreeWidget { background: transparent; border: none; outline: 0; }
QTreeWidget::item { height: 20px; border-bottom: 1px solid rgba(255, 255, 255, 14); }
QTreeWidget::item:hover { background: rgba(255, 255, 255, 20); }
QTreeWidget::item:selected { background: rgba(47, 143, 255, 120); color: #ffffff; }
QHeaderView { background: #202633; border: none; }
QHeaderView::section { background: #202633; color: #9aa6b8; border: none; padding-left: 4px; }
QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid #5a6578; border-radius: 2px;
  background: #1b2029; }
QCheckBox::indicator:checked { background: #2f8fff; border-color: #2f8fff; }
QMenu { background: #262d3b; border: 1px solid #3a4456; padding: 4px 0; }
QMenu::item { padding: 4px 18px 4px 22px; }
QMenu::item:selected { background: #2f8fff; }
QDialog { background: #1f2430; }
QDialog QPushButton { padding: 3px 14px; min-width: 48px; }
QSpinBox { background: #1b2029; border: 1px solid #3a4456; border-radius: 3px; }
QScrollBar:vertical { background: transparent; width: 6px; }
QScrollBar::handle:vertical { background: rgba(255, 255, 255, 50); border-radius: 3px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
)";

// A label that lets the face or the panel show through.
QLabel* transparentLabel(QWidget* parent, const char* name, const char* caption, int x, int y,
                         int w, int h) {
  QLabel* l = label(parent, name, caption, x, y, w, h);
  l->setAttribute(Qt::WA_TranslucentBackground);
  return l;
}

PictureButton* pictureButton(QWidget* parent, const char* name, const char* picture, int x, int y,
                             int w, int h) {
  return place(new PictureButton(picturePath(picture), parent), name, x, y, w, h);
}

QFrame* box(QWidget* parent, const char* name, int x, int y, int w, int h) {
  QFrame* f = place(new QFrame(parent), name, x, y, w, h);
  f->setAttribute(Qt::WA_StyledBackground);
  f->hide();
  return f;
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, int selected, int x,
                 int y, int w, int h) {
  QComboBox* c = place(new QComboBox(parent), name, x, y, w, h);
  c->addItems(items);
  c->setCurrentIndex(selected);
  return c;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, bool checked, int x,
                    int y, int w, int h) {
  QCheckBox* c = place(new QCheckBox(QString::fromUtf8(caption), parent), name, x, y, w, h);
  c->setChecked(checked);
  return c;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                    int h) {
  QPushButton* b = place(new QPushButton(QString::fromUtf8(caption), parent), name, x, y, w, h);
  b->setCursor(Qt::PointingHandCursor);
  return b;
}

QTimer* timer(QWidget* parent, const char* name, int interval) {
  auto* t = new QTimer(parent);
  t->setObjectName(QString::fromUtf8(name));
  t->setInterval(interval);
  return t;
}

QStringList texts(std::initializer_list<const char*> items) {
  QStringList list;
  for (const char* item : items) list << QString::fromUtf8(item);
  return list;
}

void buildFace(QWidget* w, FaceControls& c) {
  c.pic = place(new QLabel(w), "Pic", 0, 0, 155, 155);
  c.pic->setScaledContents(true);
  c.pic->setPixmap(designedCover(*c.pic));
  c.progressBar = place(new ColourStrip(QColor(0x2f, 0x8f, 0xff), w), "进度条", 0, 155, 0, 2);
  c.previousButton = pictureButton(w, "图形按钮_上一曲", "prev", 23, 161, 24, 24);
  c.playButton = pictureButton(w, "图形按钮_播放", "play", 64, 159, 28, 28);
  c.pauseButton = pictureButton(w, "图形按钮_暂停", "pause", 64, 159, 28, 28);
  c.pauseButton->hide();
  c.nextButton = pictureButton(w, "图形按钮_下一曲", "next", 109, 161, 24, 24);
  // The two caption lines shrink, then cut at the end, rather than lose their first letters.
  c.songName = place(new FittedLabel(QStringLiteral("Lumora"), w), "歌曲名称", 4, 190, 146, 18);
  c.songName->setAttribute(Qt::WA_TranslucentBackground);
  c.songName->setAlignment(Qt::AlignCenter);
  QFont nameFont = c.songName->font();
  nameFont.setBold(true);
  c.songName->setFont(nameFont);
  c.artistName = place(new FittedLabel(QStringLiteral("--"), w), "歌手名称", 4, 208, 146, 18);
  c.artistName->setAlignment(Qt::AlignCenter);
  c.squareButton = pictureButton(w, "图形按钮_列表", "list", 5, 232, 24, 24);
  c.fmButton = pictureButton(w, "图形按钮_私人FM", "fm", 29, 232, 24, 24);
  c.fmButton->setCheckable(true);
  c.lyricsButton = pictureButton(w, "图形按钮_歌词", "lyrics", 53, 232, 24, 24);
  c.lyricsButton->setCheckable(true);
  c.downloadButton = pictureButton(w, "图形按钮_下载", "download", 77, 232, 24, 24);
  c.settingsButton = pictureButton(w, "图形按钮_设置", "settings", 101, 232, 24, 24);
  c.exitButton = pictureButton(w, "图形按钮_退出", "exit", 125, 232, 24, 24);
  c.progressTimer = timer(w, "time", 100);
  c.autoPlayTimer = timer(w, "时钟_自动播放", 1000);
}

void buildMessageBoxes(QWidget* w, FaceControls& face, SleepControls& c) {
  face.likeBox = box(w, "信息提示框", 536, 56, 128, 92);
  label(face.likeBox, "提示", "提示", 5, 3, 118, 14);
  face.likeResult = label(face.likeBox, "提示1", "", 5, 32, 118, 40);
  face.likeResult->setWordWrap(true);
  face.likeResult->setAlignment(Qt::AlignCenter);

  c.box = box(w, "信息框", 14, 40, 128, 92);
  label(c.box, "信息框标签_头部", "定时关闭", 5, 3, 118, 14);
  QStringList periods;
  for (const SleepDelay& delay : kSleepDelays)
    periods << QString::fromUtf8(delay.item.data(), static_cast<qsizetype>(delay.item.size()));
  c.period = combo(c.box, "组合框_时间", periods, 0, 13, 29, 104, 20);
  c.confirm = button(c.box, "设定倒计时", "取消", 13, 53, 104, 32);
  c.countdown = timer(w, "时钟_倒计时", 0);
  // A coarse timer of minutes is kept to whole seconds and may read a second more than it was
  // set to ("剩余 0:10:01" for ten minutes); this one counts down what the menu shows.
  c.countdown->setTimerType(Qt::PreciseTimer);
  c.countdown->setSingleShot(true);
}

void buildSquare(QWidget* w, SquareControls& c) {
  c.frame = box(w, "外形框1", 160, -2, 154, 230);
  QFrame* p = c.frame;
  label(p, "标签1", "歌单列表(双击)", 5, 7, 91, 16);
  c.rows = place(new QTreeWidget(p), "超级列表框1", 1, 25, 151, 168);
  QTreeWidget* list = c.rows;
  list->setColumnCount(2);
  list->setHeaderLabels(texts({"歌单名称", "歌曲ID"}));
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->header()->setStretchLastSection(false);
  list->header()->resizeSection(0, 149);
  list->setColumnHidden(1, true);
  list->setFont(QFont(QString::fromUtf8("微软雅黑"), 9));
  c.categories = combo(
      p, "组合框1", texts({"全部", "华语", "流行", "影视原声", "综艺",   "怀旧",     "欧美", "浪漫",
                           "学习", "校园", "工作", "午休",     "下午茶", "网络歌曲", "KTV",  "70后",
                           "80后", "90后", "00后", "经典",     "酒吧",   "榜单"}),
      0, 6, 200, 66, 20);
  c.firstPage = button(p, "首页", "首页", 72, 200, 38, 20);
  c.nextPage = button(p, "下一页", "下一页", 112, 200, 38, 20);
  c.searchToggle = pictureButton(p, "图形按钮_查询", "search", 131, 5, 20, 20);

  c.searchBox = box(p, "外形框3", 13, 58, 128, 96);
  label(c.searchBox, "设置标签3", "歌单搜索", 5, 8, 118, 14);
  c.searchEdit = place(new QLineEdit(QString::fromUtf8("输入查询(回车键)"), c.searchBox),
                       "编辑框_歌单ID", 5, 24, 118, 24);
  c.searchButton = button(c.searchBox, "查询结果", "查询(Enter)", 5, 52, 118, 36);
}

// The stored controls' designed states are the settings' defaults.
void buildSettingsPanel(QWidget* w, SettingsPanelControls& c) {
  const Settings designed;
  QStringList faces, sizes;
  for (const char* face : kFontFaceNames) faces << QString::fromUtf8(face);
  for (int size : kFontSizes) sizes << QString::number(size);
  c.panel = box(w, "外形框2", 321, -4, 154, 230);
  QFrame* p = c.panel;
  label(p, "标签2", "设置", 5, 7, 136, 16);
  c.edgeHideLabel = transparentLabel(p, "透明标签2", "侧边隐藏：", 9, 26, 54, 16);
  c.edgeHide = checkBox(p, "选择框_侧边隐藏", "", designed.edgeHide, 65, 25, 13, 20);
  c.autorunLabel = transparentLabel(p, "透明标签4", "自启动：", 85, 26, 47, 16);
  c.autorun = checkBox(p, "选择框_开机自启", "", false, 128, 25, 13, 20);
  label(p, "设置标签2", "预设方案：", 9, 50, 63, 14);
  c.preset =
      combo(p, "预设方案", texts({"秋色橙", "海洋蓝", "火焰红", "酷炫黑", "浪漫紫", "自然绿"}),
            designed.preset, 65, 47, 79, 20);
  label(p, "设置标签", "字体：", 9, 73, 55, 14);
  c.fontFace = combo(p, "字体型号", faces, designed.fontFace, 65, 70, 79, 20);
  c.bold = checkBox(p, "字体加粗", "", designed.bold, 10, 94, 13, 20);
  c.boldLabel = transparentLabel(p, "透明标签1", "加粗", 25, 95, 30, 16);
  c.fontSize = combo(p, "字体大小", sizes, designed.fontSize, 65, 93, 79, 20);
  // Italic and underline sit beyond the panel's right edge and are never shown.
  c.italic = checkBox(p, "字体倾斜", "倾斜", false, 152, 93, 45, 20);
  c.italic->hide();
  c.underline = checkBox(p, "字体下划线", "下划线", false, 197, 93, 56, 20);
  c.underline->hide();
  QLabel* colours = label(p, "设置标签1", "文字颜色：\n\n文字边框：\n\n文字渐变：", 9, 120, 64, 70);
  colours->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont small = colours->font();
  small.setPixelSize(11);
  colours->setFont(small);
  c.colour1 = place(new ColourPicker(p), "颜色选择器1", 65, 116, 40, 20);
  c.colour2 = place(new ColourPicker(p), "颜色选择器2", 104, 116, 40, 20);
  c.colour3 = place(new ColourPicker(p), "颜色选择器3", 65, 140, 79, 20);
  c.gradient = combo(p, "文字渐变", texts({"无渐变", "两色渐变", "三色渐变"}), designed.gradient,
                     65, 164, 79, 20);
  transparentLabel(p, "透明标签3", "穿透设置", 9, 189, 54, 16);
  c.opacity = combo(
      p, "透明度", texts({"100", "95", "90", "85", "80", "70", "60", "50", "40", "30", "20", "10"}),
      designed.opacity, 64, 209, 79, 20);
  label(p, "设置标签4", "透明度：", 9, 213, 63, 14);
}

void buildTimers(QWidget* w, WindowTimers& c) {
  c.hotkeys = timer(w, "时钟_监视热键", 100);
  c.dock = timer(w, "时钟_靠边", 10);
}

QAction* menuItem(QMenu* menu, const char* caption, bool checkable = false) {
  QAction* item = menu->addAction(QString::fromUtf8(caption));
  item->setObjectName(QString::fromUtf8(caption));
  item->setCheckable(checkable);
  return item;
}

void buildMenu(QWidget* w, MenuControls& c) {
  c.menu = new QMenu(w);
  c.menu->setObjectName(QString::fromUtf8("菜单"));
  c.login = menuItem(c.menu, "登录");
  c.like = menuItem(c.menu, "喜欢当前歌曲");
  c.playPause = menuItem(c.menu, "播放/暂停(&Ctrl+ P)");
  c.previous = menuItem(c.menu, "上一曲(&Ctrl+ Left)");
  c.next = menuItem(c.menu, "下一曲(&Ctrl+ Right)");
  c.lyrics = menuItem(c.menu, "歌词显示(&Ctrl+ D)", true);
  c.clickThrough = menuItem(c.menu, "穿透模式(&Ctrl+ G)", true);
  c.hideToTray = menuItem(c.menu, "最小化(&Ctrl+ M)", true);
  c.sleep = menuItem(c.menu, "定时关闭");
  c.about = menuItem(c.menu, "关于");
  c.exit = menuItem(c.menu, "退出");
}

// Pictures and caption-less boxes are named by what their tooltip says.
void setToolTips(QWidget* window, const MainWindowControls& c) {
  const std::pair<QWidget*, const char*> tips[] = {
      {c.face.previousButton, "上一曲（Ctrl + Left）"},
      {c.face.nextButton, "下一曲（Ctrl + Right）"},
      {c.face.playButton, "播放（Ctrl + P）"},
      {c.face.pauseButton, "暂停（Ctrl + P）"},
      {c.face.lyricsButton, "打开歌词（Ctrl + D）"},
      {c.face.fmButton, "私人FM"},
      {c.face.squareButton, "歌单列表"},
      {c.face.downloadButton, "下载"},
      {c.face.settingsButton, "设置"},
      {c.face.exitButton, "退出"},
      {c.square.searchToggle, "歌单搜索"},
      {c.square.firstPage, "歌单首页"},
      {c.square.nextPage, "歌单下一页"},
      {c.settings.autorun, "开机自启动"},
      {c.settings.autorunLabel, "开机自启动"},
      {c.settings.edgeHide, "侧边自动隐藏"},
      {c.settings.edgeHideLabel, "侧边自动隐藏"},
      {c.settings.preset, "歌词颜色预设方案"},
  };
  for (const auto& [control, tip] : tips) {
    control->setToolTip(QString::fromUtf8(tip));
    const auto* button = qobject_cast<QAbstractButton*>(control);
    const bool captioned = qobject_cast<QLabel*>(control) || (button && !button->text().isEmpty());
    if (!captioned) control->setAccessibleName(QString::fromUtf8(tip));
  }
  window->setAttribute(Qt::WA_AlwaysShowToolTips);
}

}  // namespace

MainWindowControls buildMainWindowControls(QWidget* window) {
  MainWindowControls c;
  window->resize(741, 349);
  window->setStyleSheet(QString::fromUtf8(kStyle));
  buildFace(window, c.face);
  buildMessageBoxes(window, c.face, c.sleep);
  buildSquare(window, c.square);
  buildSettingsPanel(window, c.settings);
  buildTimers(window, c.timers);
  buildMenu(window, c.menu);
  // The panels cover the face and the boxes lie over everything.
  c.square.frame->raise();
  c.settings.panel->raise();
  c.face.likeBox->raise();
  c.sleep.box->raise();
  setToolTips(window, c);
  return c;
}

}  // namespace lumora
