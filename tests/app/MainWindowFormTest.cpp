// The form as designed: names, kinds, places, captions, visibility, items and selections.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "support/Controls.h"
#include "support/MainWindowTestSupport.h"
#include "widgets/ColourPicker.h"
#include "widgets/ColourStrip.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

enum class Kind {
  PictureBox,
  Shape,
  PictureButton,
  Label,
  Combo,
  Check,
  Button,
  List,
  Edit,
  Colour,
  Box
};

struct ControlRow {
  const char* name;
  Kind kind;
  const char* parent;  // nullptr: the main window
  int x, y, w, h;
  const char* caption;  // nullptr: no caption to compare
  bool visible;
};

const ControlRow kControls[] = {
    // Player face.
    {"Pic", Kind::PictureBox, nullptr, 0, 0, 155, 155, nullptr, true},
    {"进度条", Kind::Shape, nullptr, 0, 155, 0, 2, nullptr, true},
    {"图形按钮_上一曲", Kind::PictureButton, nullptr, 23, 161, 24, 24, nullptr, true},
    {"图形按钮_播放", Kind::PictureButton, nullptr, 64, 159, 28, 28, nullptr, true},
    {"图形按钮_暂停", Kind::PictureButton, nullptr, 64, 159, 28, 28, nullptr, false},
    {"图形按钮_下一曲", Kind::PictureButton, nullptr, 109, 161, 24, 24, nullptr, true},
    {"歌曲名称", Kind::Label, nullptr, 4, 190, 146, 18, "Lumora", true},
    {"歌手名称", Kind::Label, nullptr, 4, 208, 146, 18, "--", true},
    {"图形按钮_列表", Kind::PictureButton, nullptr, 5, 232, 24, 24, nullptr, true},
    {"图形按钮_私人FM", Kind::PictureButton, nullptr, 29, 232, 24, 24, nullptr, true},
    {"图形按钮_歌词", Kind::PictureButton, nullptr, 53, 232, 24, 24, nullptr, true},
    {"图形按钮_下载", Kind::PictureButton, nullptr, 77, 232, 24, 24, nullptr, true},
    {"图形按钮_设置", Kind::PictureButton, nullptr, 101, 232, 24, 24, nullptr, true},
    {"图形按钮_退出", Kind::PictureButton, nullptr, 125, 232, 24, 24, nullptr, true},
    // Boxes over the face, after start-up.
    {"信息提示框", Kind::Box, nullptr, 14, 40, 128, 92, nullptr, false},
    {"提示", Kind::Label, "信息提示框", 5, 3, 118, 14, "提示", true},
    {"提示1", Kind::Label, "信息提示框", 5, 32, 118, 40, "", true},
    {"信息框", Kind::Box, nullptr, 14, 40, 128, 92, nullptr, false},
    {"信息框标签_头部", Kind::Label, "信息框", 5, 3, 118, 14, "定时关闭", true},
    {"组合框_时间", Kind::Combo, "信息框", 13, 29, 104, 20, nullptr, true},
    {"设定倒计时", Kind::Button, "信息框", 13, 53, 104, 32, "取消", true},
    {"外形框1", Kind::Box, nullptr, 0, 0, 154, 230, nullptr, false},
    {"标签1", Kind::Label, "外形框1", 5, 7, 91, 16, "歌单列表(双击)", true},
    {"超级列表框1", Kind::List, "外形框1", 1, 25, 151, 168, nullptr, true},
    {"组合框1", Kind::Combo, "外形框1", 6, 200, 66, 20, nullptr, true},
    {"首页", Kind::Button, "外形框1", 72, 200, 38, 20, "首页", true},
    {"下一页", Kind::Button, "外形框1", 112, 200, 38, 20, "下一页", true},
    {"图形按钮_查询", Kind::PictureButton, "外形框1", 131, 5, 20, 20, nullptr, true},
    {"外形框3", Kind::Box, "外形框1", 13, 58, 128, 96, nullptr, false},
    {"设置标签3", Kind::Label, "外形框3", 5, 8, 118, 14, "歌单搜索", true},
    {"编辑框_歌单ID", Kind::Edit, "外形框3", 5, 24, 118, 24, "输入查询(回车键)", true},
    {"查询结果", Kind::Button, "外形框3", 5, 52, 118, 36, "查询(Enter)", true},
    {"外形框2", Kind::Box, nullptr, 0, 0, 154, 230, nullptr, false},
    // Settings panel.
    {"标签2", Kind::Label, "外形框2", 5, 7, 136, 16, "设置", true},
    {"透明标签2", Kind::Label, "外形框2", 9, 26, 54, 16, "侧边隐藏：", true},
    {"选择框_侧边隐藏", Kind::Check, "外形框2", 65, 25, 13, 20, "", true},
    {"透明标签4", Kind::Label, "外形框2", 85, 26, 47, 16, "自启动：", true},
    {"选择框_开机自启", Kind::Check, "外形框2", 128, 25, 13, 20, "", true},
    {"设置标签2", Kind::Label, "外形框2", 9, 50, 63, 14, "预设方案：", true},
    {"预设方案", Kind::Combo, "外形框2", 65, 47, 79, 20, nullptr, true},
    {"设置标签", Kind::Label, "外形框2", 9, 73, 55, 14, "字体：", true},
    {"字体型号", Kind::Combo, "外形框2", 65, 70, 79, 20, nullptr, true},
    {"字体加粗", Kind::Check, "外形框2", 10, 94, 13, 20, "", true},
    {"透明标签1", Kind::Label, "外形框2", 25, 95, 30, 16, "加粗", true},
    {"字体大小", Kind::Combo, "外形框2", 65, 93, 79, 20, nullptr, true},
    {"字体倾斜", Kind::Check, "外形框2", 152, 93, 45, 20, "倾斜", false},
    {"字体下划线", Kind::Check, "外形框2", 197, 93, 56, 20, "下划线", false},
    {"设置标签1", Kind::Label, "外形框2", 9, 120, 64, 70, "文字颜色：\n\n文字边框：\n\n文字渐变：",
     true},
    {"颜色选择器1", Kind::Colour, "外形框2", 65, 116, 40, 20, nullptr, true},
    {"颜色选择器2", Kind::Colour, "外形框2", 104, 116, 40, 20, nullptr, true},
    {"颜色选择器3", Kind::Colour, "外形框2", 65, 140, 79, 20, nullptr, true},
    {"文字渐变", Kind::Combo, "外形框2", 65, 164, 79, 20, nullptr, true},
    {"透明标签3", Kind::Label, "外形框2", 9, 189, 54, 16, "穿透设置", true},
    {"透明度", Kind::Combo, "外形框2", 64, 209, 79, 20, nullptr, true},
    {"设置标签4", Kind::Label, "外形框2", 9, 213, 63, 14, "透明度：", true},
};

bool hasKind(QWidget* w, Kind kind) {
  switch (kind) {
    case Kind::PictureBox:
    case Kind::Label:
      return qobject_cast<QLabel*>(w) != nullptr;
    case Kind::Shape:
      // A shape of one plain colour may paint itself.
      if (qobject_cast<ColourStrip*>(w)) return true;
      [[fallthrough]];
    case Kind::Box:
      return w->metaObject() == &QFrame::staticMetaObject;
    case Kind::PictureButton:
      return qobject_cast<PictureButton*>(w) != nullptr;
    case Kind::Combo:
      return qobject_cast<QComboBox*>(w) != nullptr;
    case Kind::Check:
      return qobject_cast<QCheckBox*>(w) != nullptr;
    case Kind::Button:
      return w->metaObject() == &QPushButton::staticMetaObject;
    case Kind::List:
      return qobject_cast<QTreeWidget*>(w) != nullptr;
    case Kind::Edit:
      return qobject_cast<QLineEdit*>(w) != nullptr;
    case Kind::Colour:
      return qobject_cast<ColourPicker*>(w) != nullptr;
  }
  return false;
}

QString captionOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return QStringLiteral("<no caption>");
}

class MainWindowForm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fixture = new WindowFixture; }
  static void TearDownTestSuite() {
    delete fixture;
    fixture = nullptr;
  }
  static MainWindow& window() { return *fixture->window; }
  static WindowFixture* fixture;
};
WindowFixture* MainWindowForm::fixture = nullptr;

TEST_F(MainWindowForm, EveryControlHasItsNameKindPlaceCaptionAndVisibility) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    auto* w = control<QWidget>(window(), row.name);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(hasKind(w, row.kind)) << w->metaObject()->className();
    QWidget* parent = row.parent ? control<QWidget>(window(), row.parent) : &window();
    EXPECT_EQ(w->parentWidget(), parent);
    EXPECT_EQ(w->geometry(), QRect(row.x, row.y, row.w, row.h));
    if (row.caption) {
      EXPECT_EQ(captionOf(w).toStdString(), row.caption);
    }
    EXPECT_EQ(!w->isHidden(), row.visible);
  }
}

TEST_F(MainWindowForm, WindowIsFramelessCutToTheFaceWithTwoPixelCorners) {
  EXPECT_EQ(window().size(), QSize(154, 260));
  EXPECT_TRUE(window().windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window().windowTitle().toStdString(), "暂无播放");
  const QRegion mask = window().mask();
  EXPECT_EQ(mask.boundingRect(), QRect(0, 0, 154, 260));
  for (QPoint corner : {QPoint(0, 0), QPoint(153, 0), QPoint(0, 259), QPoint(153, 259)})
    EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
  for (QPoint inside : {QPoint(1, 0), QPoint(0, 1), QPoint(152, 0), QPoint(153, 258),
                        QPoint(77, 130), QPoint(1, 259)})
    EXPECT_TRUE(mask.contains(inside)) << inside.x() << "," << inside.y();
}

QStringList itemsOf(QComboBox* c) {
  QStringList items;
  for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
  return items;
}

TEST_F(MainWindowForm, ComboBoxesHoldTheirItemsAndDesignedSelection) {
  struct Row {
    const char* name;
    const char* items;  // joined with "|"
    int selected;
  };
  const Row rows[] = {
      {"组合框_时间",
       "不开启|10分钟后|20分钟后|30分钟后|45分钟后|60分钟后|1小时15分钟后|1小时30分钟后|"
       "1小时45分钟后|2小时后",
       0},
      {"组合框1",
       "全部|华语|流行|影视原声|综艺|怀旧|欧美|浪漫|学习|校园|工作|午休|下午茶|网络歌曲|KTV|"
       "70后|80后|90后|00后|经典|酒吧|榜单",
       0},
      {"预设方案", "秋色橙|海洋蓝|火焰红|酷炫黑|浪漫紫|自然绿", 1},
      {"字体型号", "微软雅黑|黑体|楷体", 0},
      {"字体大小", "10|15|20|25|30|35|40|45|50|55|60|65|70", 4},
      {"文字渐变", "无渐变|两色渐变|三色渐变", 1},
      {"透明度", "100|95|90|85|80|70|60|50|40|30|20|10", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* c = control<QComboBox>(window(), row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(itemsOf(c).join('|').toStdString(), row.items);
    EXPECT_EQ(c->currentIndex(), row.selected);
  }
}

TEST_F(MainWindowForm, CheckBoxesAndColoursStartAsDesigned) {
  const std::pair<const char*, bool> checks[] = {{"选择框_侧边隐藏", true},
                                                 {"字体加粗", true},
                                                 {"字体倾斜", false},
                                                 {"字体下划线", false},
                                                 {"选择框_开机自启", false}};
  for (auto [name, checked] : checks)
    EXPECT_EQ(control<QCheckBox>(window(), name)->isChecked(), checked) << name;
  EXPECT_EQ(control<ColourPicker>(window(), "颜色选择器1")->colour(), 0xDD6F00u);
  EXPECT_EQ(control<ColourPicker>(window(), "颜色选择器2")->colour(), 0xFFFFFFu);
  EXPECT_EQ(control<ColourPicker>(window(), "颜色选择器3")->colour(), 0x000000u);
  EXPECT_EQ(ColourPicker::toQColor(0xDD6F00), QColor(0x00, 0x6F, 0xDD));
  EXPECT_EQ(ColourPicker::fromQColor(QColor(0x00, 0x6F, 0xDD)), 0xDD6F00u);
}

TEST_F(MainWindowForm, PlaylistListHasANameColumnAndAHiddenIdColumn) {
  auto* list = control<QTreeWidget>(window(), "超级列表框1");
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0).toStdString(), "歌单名称");
  EXPECT_EQ(list->headerItem()->text(1).toStdString(), "歌曲ID");
  EXPECT_EQ(list->header()->sectionSize(0), 149);
  EXPECT_FALSE(list->isColumnHidden(0));
  EXPECT_TRUE(list->isColumnHidden(1));
}

TEST_F(MainWindowForm, TimersExistUnderTheirNames) {
  struct Row {
    const char* name;
    int interval;
    bool active;
  };
  // The docking timer follows the edge-hide box, which is designed checked; the shortcut poll
  // waits for a key.
  const Row rows[] = {{"time", 100, false},
                      {"时钟_自动播放", 1000, false},
                      {"时钟_监视热键", 100, false},
                      {"时钟_靠边", 10, true},
                      {"时钟_倒计时", 0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* t = window().findChild<QTimer*>(QString::fromUtf8(row.name));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->interval(), row.interval);
    EXPECT_EQ(t->isActive(), row.active);
  }
  EXPECT_TRUE(window().findChild<QTimer*>(QString::fromUtf8("时钟_倒计时"))->isSingleShot());
}

TEST_F(MainWindowForm, MenuHasElevenItemsInOrderWithoutSeparators) {
  const char* const captions[] = {"登录",
                                  "喜欢当前歌曲",
                                  "播放/暂停(&Ctrl+ P)",
                                  "上一曲(&Ctrl+ Left)",
                                  "下一曲(&Ctrl+ Right)",
                                  "歌词显示(&Ctrl+ D)",
                                  "穿透模式(&Ctrl+ G)",
                                  "最小化(&Ctrl+ M)",
                                  "定时关闭",
                                  "关于",
                                  "退出"};
  QMenu* menu = window().findChild<QMenu*>(QString::fromUtf8("菜单"));
  ASSERT_EQ(menu, window().menu());
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 11);
  for (int i = 0; i < 11; ++i) {
    EXPECT_FALSE(items[i]->isSeparator());
    EXPECT_EQ(items[i]->text().toStdString(), captions[i]);
    EXPECT_EQ(items[i]->objectName().toStdString(), captions[i]);
  }
}

// Whichever feature wires a button, none is left nameless for assistive tools: a caption, or
// for pictures, caption-less boxes and colour pickers an accessible name.
TEST_F(MainWindowForm, EveryButtonIsNamed) {
  const QList<QAbstractButton*> buttons = window().findChildren<QAbstractButton*>();
  EXPECT_GE(buttons.size(), 23);  // the form's picture, push, check and colour buttons
  for (const QAbstractButton* b : buttons)
    EXPECT_FALSE(b->text().isEmpty() && b->accessibleName().isEmpty())
        << b->objectName().toStdString();
}

TEST_F(MainWindowForm, PicturesAreLoadedFromTheResources) {
  EXPECT_FALSE(control<QLabel>(window(), "Pic")->pixmap().isNull());
  for (const char* name : {"图形按钮_播放", "图形按钮_退出", "图形按钮_查询"}) {
    auto* button = control<PictureButton>(window(), name);
    EXPECT_TRUE(QFile::exists(button->picture())) << name;
  }
  EXPECT_TRUE(control<PictureButton>(window(), "图形按钮_私人FM")->isCheckable());
  EXPECT_TRUE(control<PictureButton>(window(), "图形按钮_歌词")->isCheckable());
}

}  // namespace
}  // namespace lumora::test
