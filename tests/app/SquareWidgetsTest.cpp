// The square on the main window's real form: its controls, the settings panel beside it and the
// start-up page.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

#include "app/Options.h"
#include "face/MainWindowControls.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/FaceShown.h"
#include "support/MainWindowTestSupport.h"
#include "support/SquareServerTest.h"

namespace lumora::test {
namespace {

class SquareWidgetsTest : public SquareServerTest {
 protected:
  void SetUp() override {
    SquareServerTest::SetUp();
    controls = buildMainWindowControls(&host);
    widgets = std::make_unique<SquareWidgets>(controls.square, controls.settings.panel, apiJson,
                                              server_->baseUrl());
    host.show();
    controls.square.frame->show();
  }

  template <class T>
  T* control(const char* name) {
    return host.findChild<T*>(QString::fromUtf8(name));
  }
  QTreeWidget* rowsView() { return control<QTreeWidget>("超级列表框1"); }
  QWidget* searchBox() { return control<QWidget>("外形框3"); }
  QLineEdit* searchEdit() { return control<QLineEdit>("编辑框_歌单ID"); }
  bool pagingShown() {
    return !control<QWidget>("首页")->isHidden() && !control<QWidget>("下一页")->isHidden();
  }
  bool pagingHidden() {
    return control<QWidget>("首页")->isHidden() && control<QWidget>("下一页")->isHidden();
  }
  void click(const char* name) { control<QAbstractButton>(name)->click(); }
  // What a user's pick in the drop-down list sends.
  void chooseCategory(int index) {
    QComboBox* combo = control<QComboBox>("组合框1");
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  void mouse(QEvent::Type type, QPoint at) {
    QWidget* viewport = rowsView()->viewport();
    QMouseEvent event(type, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
  void doubleClick(QPoint at) {
    mouse(QEvent::MouseButtonPress, at);
    mouse(QEvent::MouseButtonRelease, at);
    mouse(QEvent::MouseButtonDblClick, at);
    mouse(QEvent::MouseButtonRelease, at);
  }
  QColor searchTextColour() {
    searchEdit()->ensurePolished();
    return searchEdit()->palette().color(QPalette::Text);
  }

  const SquarePaging& paging() { return widgets->square().paging(); }
  JsonDocument apiJson;
  QWidget host;
  MainWindowControls controls;
  std::unique_ptr<SquareWidgets> widgets;
};

TEST_F(SquareWidgetsTest, CategoryAndPagingControlsLoadTheirPages) {
  chooseCategory(14);
  ASSERT_EQ(rowsView()->topLevelItemCount(), 1);
  EXPECT_EQ(rowsView()->topLevelItem(0)->text(0).toStdString(), "KTV 必点金曲");
  EXPECT_EQ(widgets->playlistIdAt(0), "3000005");
  // Picking the category shown again loads it again.
  chooseCategory(0);
  chooseCategory(0);
  click("下一页");
  EXPECT_EQ(rowsView()->topLevelItemCount(), 5);
  // The last page: no empty page beyond it.
  EXPECT_FALSE(control<QWidget>("下一页")->isEnabled());
  click("首页");
  EXPECT_EQ(rowsView()->topLevelItemCount(), 8);
  EXPECT_TRUE(control<QWidget>("下一页")->isEnabled());
  const std::string all = "&order=hot&cat=%E5%85%A8%E9%83%A8";
  EXPECT_EQ(newSquareTargets(),
            (std::vector<std::string>{
                "/top/playlist?limit=8&offset=0&order=hot&cat=KTV",
                "/top/playlist?limit=8&offset=0" + all, "/top/playlist?limit=8&offset=0" + all,
                "/top/playlist?limit=8&offset=8" + all, "/top/playlist?limit=8&offset=0" + all}));
}

TEST_F(SquareWidgetsTest, SearchRunsFromTheButtonAndFromEnter) {
  click("图形按钮_查询");
  ASSERT_FALSE(searchBox()->isHidden());
  searchEdit()->setText(QString::fromUtf8("下午茶"));
  click("查询结果");
  // The server answers with its artists', albums' and songs' playlists first, then the named.
  auto lastRow = [&] {
    const int rows = rowsView()->topLevelItemCount();
    return rows ? rowsView()->topLevelItem(rows - 1)->text(0).toStdString() : std::string();
  };
  EXPECT_TRUE(searchBox()->isHidden());
  EXPECT_EQ(lastRow(), "Evening Café 下午茶");

  click("图形按钮_查询");
  searchEdit()->setText(QStringLiteral("Night"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(searchEdit(), &enter);
  EXPECT_TRUE(searchBox()->isHidden());
  EXPECT_EQ(lastRow(), "Bar Night 酒吧之夜");
  EXPECT_EQ(paging().browseMode, "查询");
  EXPECT_EQ(newSquareTargets(),
            (std::vector<std::string>{
                "/search?keywords=%E4%B8%8B%E5%8D%88%E8%8C%B6&limit=8&offset=0&type=1000",
                "/search?keywords=Night&limit=8&offset=0&type=1000"}));
}

TEST_F(SquareWidgetsTest, EmptyOrPromptSearchOnlyHidesTheSearchBox) {
  chooseCategory(0);
  widgets->ShowAccountPlaylists({"我的"}, {"1"});
  for (const char* text : {"", "输入查询(回车键)"}) {
    click("图形按钮_查询");
    ASSERT_FALSE(searchBox()->isHidden());
    searchEdit()->setText(QString::fromUtf8(text));
    click("查询结果");
    EXPECT_TRUE(searchBox()->isHidden()) << text;
  }
  EXPECT_EQ(rowsView()->topLevelItemCount(), 1);
  EXPECT_TRUE(pagingHidden());
  EXPECT_EQ(paging().browseMode, "默认");
  EXPECT_EQ(newSquareTargets().size(), 1u);
}

TEST_F(SquareWidgetsTest, TheSearchBoxEmptiesOnFocusAndGreysWhenLeft) {
  ASSERT_EQ(searchEdit()->text().toStdString(), "输入查询(回车键)");
  QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
  QApplication::sendEvent(searchEdit(), &in);
  EXPECT_TRUE(searchEdit()->text().isEmpty());
  EXPECT_EQ(searchTextColour(), QColor(0, 0, 0));
  searchEdit()->setText(QString::fromUtf8("怀旧"));
  QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
  QApplication::sendEvent(searchEdit(), &out);
  EXPECT_EQ(searchEdit()->text().toStdString(), "怀旧");
  EXPECT_EQ(searchTextColour(), QColor(192, 192, 192));
  // Gaining the focus again clears what was typed.
  QApplication::sendEvent(searchEdit(), &in);
  EXPECT_TRUE(searchEdit()->text().isEmpty());
}

TEST_F(SquareWidgetsTest, SearchButtonTogglesTheBoxAndAPressOnTheRowsHidesIt) {
  click("图形按钮_查询");
  EXPECT_FALSE(searchBox()->isHidden());
  click("图形按钮_查询");
  EXPECT_TRUE(searchBox()->isHidden());
  click("图形按钮_查询");
  mouse(QEvent::MouseButtonPress, QPoint(20, 120));
  EXPECT_TRUE(searchBox()->isHidden());
  // The press leaves a hidden box hidden.
  mouse(QEvent::MouseButtonPress, QPoint(20, 120));
  EXPECT_TRUE(searchBox()->isHidden());
}

TEST_F(SquareWidgetsTest, AccountPlaylistsHidePagingUntilACategoryIsChosen) {
  chooseCategory(0);
  click("下一页");
  ASSERT_TRUE(pagingShown());
  widgets->ShowAccountPlaylists({"我喜欢的音乐", "夜跑"}, {"9007199254740995", "77"});
  EXPECT_TRUE(pagingHidden());
  ASSERT_EQ(widgets->rowCount(), 2);
  EXPECT_EQ(rowsView()->topLevelItem(1)->text(0).toStdString(), "夜跑");
  EXPECT_EQ(paging().browseOffset, 8);
  chooseCategory(0);
  EXPECT_TRUE(pagingShown());
  EXPECT_EQ(paging().browseOffset, 0);
  EXPECT_EQ(widgets->rowCount(), 8);
}

TEST_F(SquareWidgetsTest, AccountPlaylistsShowTheSquareAndHideTheSettings) {
  QFrame* settings = control<QFrame>("外形框2");
  controls.square.frame->hide();
  settings->show();
  widgets->ShowAccountPlaylists({"我的"}, {"5"});
  EXPECT_FALSE(controls.square.frame->isHidden());
  EXPECT_TRUE(settings->isHidden());
}

TEST_F(SquareWidgetsTest, HiddenColumnHoldsIdsBeyondTwoToThe53Exactly) {
  server_->answerWith("/top/playlist", R"({"playlists":[{"name":"大","id":9007199254740993},)"
                                       R"({"name":"更大","id":18446744073709551615}]})");
  chooseCategory(0);
  ASSERT_EQ(rowsView()->topLevelItemCount(), 2);
  EXPECT_TRUE(rowsView()->isColumnHidden(1));
  EXPECT_EQ(rowsView()->topLevelItem(0)->text(1).toStdString(), "9007199254740993");
  EXPECT_EQ(rowsView()->topLevelItem(1)->text(1).toStdString(), "18446744073709551615");
}

TEST_F(SquareWidgetsTest, DoubleClickChoosesTheRowUnderTheCursor) {
  chooseCategory(0);
  std::vector<int> chosen;
  QObject::connect(widgets.get(), &SquareWidgets::playlistChosen,
                   [&](int row) { chosen.push_back(row); });
  QTreeWidgetItem* third = rowsView()->topLevelItem(2);
  ASSERT_NE(third, nullptr);
  doubleClick(rowsView()->visualItemRect(third).center());
  ASSERT_EQ(chosen, std::vector<int>{2});
  EXPECT_EQ(widgets->playlistIdAt(chosen[0]), third->text(1).toStdString());

  // An empty list still answers a double-click, with no row.
  server_->answerWith("/top/playlist", playlistsAnswer(0));
  chooseCategory(1);
  doubleClick(QPoint(20, 40));
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[1], -1);
  EXPECT_EQ(widgets->playlistIdAt(-1), "");
}

// An empty page says so over the rows, and the note goes as soon as rows come.
TEST_F(SquareWidgetsTest, EmptySquareSaysThereIsNothingToShow) {
  auto* note = control<QLabel>("emptySquareNote");
  ASSERT_NE(note, nullptr);
  server_->answerWith("/top/playlist", playlistsAnswer(0), 0, 1);
  chooseCategory(3);
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text().toStdString(), SquareWidgets::kNothingToShow);
  chooseCategory(0);
  ASSERT_GT(rowsView()->topLevelItemCount(), 0);
  EXPECT_FALSE(note->isVisible());
  // A page that never came (nothing listens on port 1) is told apart from one that holds nothing.
  SquareWidgets unreachable(controls.square, controls.settings.panel, apiJson,
                            "http://127.0.0.1:1");
  unreachable.loadOpeningPage();
  QLabel* itsNote = host.findChildren<QLabel*>(QStringLiteral("emptySquareNote")).last();
  EXPECT_TRUE(itsNote->isVisible());
  EXPECT_EQ(itsNote->text().toStdString(), SquareWidgets::kLoadFailed);
}

// The real main window, pointed at the test server through the environment. The list is hidden
// behind the face, so its first page is asked for only once the face is on screen; a slow
// answer leaves the square saying that it is on its way.
TEST_F(SquareServerTest, FirstPageOfAllIsListedOnceTheFaceIsShown) {
  setenv("LUMORA_API_BASE", (server_->baseUrl() + "/").c_str(), 1);
  const Options options = ReadOptions();
  unsetenv("LUMORA_API_BASE");
  ASSERT_EQ(options.ApiBaseAddress, server_->baseUrl());
  WindowFixture f(true, options);
  QApplication::processEvents();
  EXPECT_TRUE(newSquareTargets().empty());
  ASSERT_TRUE(server_->addDelay("/top/playlist", 2000, 1));
  auto* note = control<QLabel>(*f.window, "emptySquareNote");
  std::string whileWaiting;
  QTimer::singleShot(1000, [&] { whileWaiting = note->text().toStdString(); });
  ASSERT_TRUE(showFace(*f.window));
  EXPECT_EQ(whileWaiting, SquareWidgets::kLoading);
  EXPECT_FALSE(note->isVisible());
  auto* rows = control<QTreeWidget>(*f.window, "超级列表框1");
  ASSERT_EQ(rows->topLevelItemCount(), 8);
  EXPECT_EQ(rows->topLevelItem(0)->text(0).toStdString(), "全曲库 2000 首");
  EXPECT_EQ(f.window->squareWidgets()->rowCount(), 8);
  EXPECT_EQ(
      newSquareTargets(),
      std::vector<std::string>{"/top/playlist?limit=8&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8"});
  EXPECT_EQ(f.objects.apiJson.GetText("playlists[0].name"), "全曲库 2000 首");
}

}  // namespace
}  // namespace lumora::test
