// The square's requests, answers and paging, against the real server, without widgets.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "common/Runners.h"
#include "square/PlaylistBrowser.h"
#include "support/SquareServerTest.h"

namespace lumora::test {
namespace {

struct EncodeCase {
  const char* text;
  const char* encoded;
};

TEST(PercentEncodeUtf8, KeepsOnlyDashDotDigitsAndAsciiLetters) {
  const EncodeCase cases[] = {
      {"", ""},
      {"KTV", "KTV"},
      {"70后", "70%E5%90%8E"},
      {"全部", "%E5%85%A8%E9%83%A8"},
      {"a b/c_d", "a%20b%2Fc%5Fd"},
      {"AZaz09-.", "AZaz09-."},
      {"~*'()!", "%7E%2A%27%28%29%21"},
      {"%&=+?#", "%25%26%3D%2B%3F%23"},
      {"\x01\x0f\x7f", "%01%0F%7F"},
  };
  for (const EncodeCase& c : cases) EXPECT_EQ(PercentEncodeUtf8(c.text), c.encoded) << c.text;
}

TEST(SquarePageRequest, BuildsBothFormsInTheirParameterOrder) {
  const SquarePageRequest hot = MakeSquarePageRequest("http://h:1", "默认", "70后", "16");
  EXPECT_EQ(hot.url, "http://h:1/top/playlist?limit=8&offset=16&order=hot&cat=70%E5%90%8E");
  EXPECT_EQ(hot.arrayName, "playlists");
  const SquarePageRequest found = MakeSquarePageRequest("http://h:1", "查询", "a b", "8");
  EXPECT_EQ(found.url, "http://h:1/search?keywords=a%20b&limit=8&offset=8&type=1000");
  EXPECT_EQ(found.arrayName, "result.playlists");
  EXPECT_TRUE(MakeSquarePageRequest("http://h:1", "其他", "x", "0").url.empty());
}

TEST(ReadPlaylistRows, ListsEveryEntryWithExactIdsAndEmptyCellsForMissingMembers) {
  JsonDocument json;
  const auto rows = ReadPlaylistRows(
      json,
      R"({"result":{"playlists":[{"name":"甲","id":9007199254740993},{"id":5},{"name":"无编号"},)"
      R"({"name":"丙","id":18446744073709551615},{"name":"丁","id":1},{"name":"戊","id":2},)"
      R"({"name":"己","id":3},{"name":"庚","id":4},{"name":"辛","id":6},{"name":"壬","id":7}]}})",
      "result.playlists");
  ASSERT_EQ(rows.size(), 10u);  // more than a page is listed as it came
  EXPECT_EQ(rows[0].name, "甲");
  EXPECT_EQ(rows[0].id, "9007199254740993");
  EXPECT_EQ(rows[1].name, "");
  EXPECT_EQ(rows[1].id, "5");
  EXPECT_EQ(rows[2].name, "无编号");
  EXPECT_EQ(rows[2].id, "");
  EXPECT_EQ(rows[3].id, "18446744073709551615");
  EXPECT_EQ(rows[9].name, "壬");
  // The answer stays in the shared document for whoever reads it next.
  EXPECT_EQ(json.GetText("result.playlists[9].name"), "壬");
}

TEST(ReadPlaylistRows, NothingFromNonJsonOrAnAnswerWithoutTheArray) {
  JsonDocument json;
  EXPECT_TRUE(ReadPlaylistRows(json, "", "playlists").empty());
  EXPECT_TRUE(ReadPlaylistRows(json, "<html>busy</html>", "playlists").empty());
  EXPECT_TRUE(ReadPlaylistRows(json, R"({"code":500,"msg":"x"})", "playlists").empty());
  EXPECT_TRUE(ReadPlaylistRows(json, R"({"playlists":{"name":"x"}})", "playlists").empty());
  EXPECT_TRUE(ReadPlaylistRows(json, R"({"playlists":[]})", "playlists").empty());
}

// Records what the square writes to its controls.
struct RecordingView : PlaylistBrowserView {
  void clearRows() override {
    rows.clear();
    ++clears;
  }
  void appendRow(const std::string& name, const std::string& id) override {
    rows.push_back({name, id});
  }
  void setPagingButtonsVisible(bool visible) override { pagingVisible = visible; }
  void hideSearchBox() override { ++searchBoxHides; }
  void showSquare() override { ++squareShows; }
  void pageLoading() override {}
  void pageLoaded(bool isAnswered, bool more) override {
    answered = isAnswered;
    morePages = more;
  }

  std::vector<PlaylistRow> rows;
  int clears = 0;
  int searchBoxHides = 0;
  int squareShows = 0;
  bool pagingVisible = true;
  bool answered = true;
  bool morePages = true;
};

class PlaylistBrowserTest : public SquareServerTest {
 protected:
  PlaylistBrowser squareAt(const std::string& base, BlockingRunner& runner = InPlaceRunner()) {
    return PlaylistBrowser(apiJson, base, view, runner, start);
  }
  PlaylistBrowser square(BlockingRunner& runner = InPlaceRunner()) {
    return squareAt(server_->baseUrl(), runner);
  }
  void prefill() { view.rows = {{"旧", "1"}, {"旧", "2"}}; }

  SquarePaging start;
  JsonDocument apiJson;
  RecordingView view;
};

TEST_F(PlaylistBrowserTest, FirstPageOfAllAsStartUpLoadsIt) {
  square().loadCurrentPage();
  EXPECT_EQ(
      newSquareTargets(),
      std::vector<std::string>{"/top/playlist?limit=8&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8"});
  ASSERT_EQ(view.rows.size(), 8u);
  // The hottest of the catalogue first, names readable as sent.
  EXPECT_EQ(view.rows[0].name, "全曲库 2000 首");
  for (const PlaylistRow& row : view.rows) {
    EXPECT_FALSE(row.name.empty());
    EXPECT_FALSE(row.id.empty());
  }
}

TEST_F(PlaylistBrowserTest, CategoriesAreSentFromTheProgramsOwnTable) {
  PlaylistBrowser sq = square();
  sq.chooseCategory(14);
  sq.chooseCategory(15);
  sq.chooseCategory(21);
  EXPECT_EQ(newSquareTargets(),
            (std::vector<std::string>{
                "/top/playlist?limit=8&offset=0&order=hot&cat=KTV",
                "/top/playlist?limit=8&offset=0&order=hot&cat=70%E5%90%8E",
                "/top/playlist?limit=8&offset=0&order=hot&cat=%E6%A6%9C%E5%8D%95"}));
  EXPECT_EQ(sq.paging().browseMode, "默认");
  EXPECT_EQ(sq.paging().browseKeyword, "榜单");
  // 榜单 holds two playlists in the demo catalogue.
  EXPECT_EQ(view.rows.size(), 2u);
  EXPECT_TRUE(view.pagingVisible);
}

TEST_F(PlaylistBrowserTest, AnIdBeyondTwoToThe53KeepsEveryDigit) {
  square().chooseCategory(19);  // 经典 holds the demo playlist 2^53 + 3
  bool found = false;
  for (const PlaylistRow& row : view.rows) found = found || row.id == "9007199254740995";
  EXPECT_TRUE(found);
}

TEST_F(PlaylistBrowserTest, NextPageStepsByEightAndFirstPageGoesBack) {
  PlaylistBrowser sq = square();
  sq.chooseCategory(0);
  EXPECT_TRUE(view.morePages);
  sq.nextPage();
  EXPECT_EQ(view.rows.size(), 5u);  // the last 5 of 13
  EXPECT_FALSE(view.morePages);
  sq.nextPage();
  EXPECT_TRUE(view.rows.empty());  // past the end: an empty page, no bound
  sq.nextPage();
  EXPECT_EQ(sq.paging().browseOffset, 24);
  sq.firstPage();
  EXPECT_EQ(sq.paging().browseOffset, 0);
  EXPECT_EQ(view.rows.size(), 8u);
  const std::string all = "&order=hot&cat=%E5%85%A8%E9%83%A8";
  EXPECT_EQ(newSquareTargets(), (std::vector<std::string>{
                                    "/top/playlist?limit=8&offset=0" + all,
                                    "/top/playlist?limit=8&offset=8" + all,
                                    "/top/playlist?limit=8&offset=16" + all,
                                    "/top/playlist?limit=8&offset=24" + all,
                                    "/top/playlist?limit=8&offset=0" + all,
                                }));
}

TEST_F(PlaylistBrowserTest, SearchSendsTheTextEncodedAndPagesInSearchMode) {
  PlaylistBrowser sq = square();
  sq.search("a b/c_d");
  sq.search("Study");
  EXPECT_EQ(sq.paging().browseMode, "查询");
  EXPECT_EQ(sq.paging().browseKeyword, "Study");
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.rows[0].name, "学习专注 Study Focus");
  EXPECT_EQ(view.rows[0].id, "3000003");
  EXPECT_FALSE(view.morePages);
  sq.nextPage();
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.searchBoxHides, 2);
  EXPECT_EQ(newSquareTargets(),
            (std::vector<std::string>{"/search?keywords=a%20b%2Fc%5Fd&limit=8&offset=0&type=1000",
                                      "/search?keywords=Study&limit=8&offset=0&type=1000",
                                      "/search?keywords=Study&limit=8&offset=8&type=1000"}));
}

// 首页 loads the first page of what is shown; only a search that found nothing leads back to
// the hot playlists of the category last chosen. 下一页 stays off on a last page.
TEST_F(PlaylistBrowserTest, FirstPageIsTheFirstPageOfWhatIsShown) {
  const std::string hot = "/top/playlist?limit=8&offset=0&order=hot&cat=";
  const struct {
    const char* name;
    std::function<void(PlaylistBrowser&)> steps;
    const char* mode;
    const char* keyword;
    std::string firstPageTarget;
    std::size_t rows;
  } cases[] = {
      {"a category, two pages on",
       [](PlaylistBrowser& sq) {
         sq.chooseCategory(0);
         sq.nextPage();
         sq.nextPage();
       },
       "默认", "全部", hot + "%E5%85%A8%E9%83%A8", 8},
      {"a search with results, a page on",
       [](PlaylistBrowser& sq) {
         sq.search("Study");
         sq.nextPage();
       },
       "查询", "Study", "/search?keywords=Study&limit=8&offset=0&type=1000", 1},
      {"a search that found nothing",
       [](PlaylistBrowser& sq) {
         sq.chooseCategory(0);
         sq.search("nothing-like-this");
       },
       "默认", "全部", hot + "%E5%85%A8%E9%83%A8", 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlaylistBrowser sq = square();
    c.steps(sq);
    seen_ = server_->requestLog().size();
    sq.firstPage();
    EXPECT_EQ(newSquareTargets(), std::vector<std::string>{c.firstPageTarget});
    EXPECT_EQ(sq.paging().browseMode, c.mode);
    EXPECT_EQ(sq.paging().browseKeyword, c.keyword);
    EXPECT_EQ(sq.paging().browseOffset, 0);
    EXPECT_EQ(view.rows.size(), c.rows);
    EXPECT_EQ(view.morePages, c.rows == 8u) << "下一页 on the last page";
  }
}

TEST_F(PlaylistBrowserTest, EmptyOrPromptSearchOnlyHidesTheSearchBox) {
  PlaylistBrowser sq = square();
  view.pagingVisible = false;
  prefill();
  for (const char* text : {"", "输入查询(回车键)"}) sq.search(text);
  EXPECT_EQ(view.searchBoxHides, 2);
  EXPECT_EQ(view.rows.size(), 2u);
  EXPECT_EQ(view.clears, 0);
  EXPECT_FALSE(view.pagingVisible);
  EXPECT_EQ(sq.paging().browseMode, "默认");
  EXPECT_EQ(sq.paging().browseKeyword, "全部");
  EXPECT_TRUE(newSquareTargets().empty());
}

TEST_F(PlaylistBrowserTest, WhateverTheAnswerHoldsIsListed) {
  PlaylistBrowser sq = square();
  server_->answerWith("/top/playlist", playlistsAnswer(5));
  sq.chooseCategory(0);
  ASSERT_EQ(view.rows.size(), 5u);
  EXPECT_EQ(view.rows[4].name, "歌单 4");
  EXPECT_EQ(view.rows[4].id, "7004");
  server_->answerWith("/search", playlistsAnswer(11, "result.playlists"));
  sq.search("x");
  EXPECT_EQ(view.rows.size(), 11u);
  server_->answerWith("/top/playlist", playlistsAnswer(0));
  sq.chooseCategory(0);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_TRUE(view.answered);
}

TEST_F(PlaylistBrowserTest, FailuresLeaveTheSquareEmpty) {
  PlaylistBrowser sq = square();
  server_->failWith("/top/playlist", 500);
  prefill();
  sq.chooseCategory(0);
  EXPECT_TRUE(view.rows.empty());
  server_->clearFaults();
  server_->answerWith("/top/playlist", "<html>not json</html>");
  prefill();
  sq.nextPage();
  EXPECT_TRUE(view.rows.empty());
  server_->answerWith("/search", playlistsAnswer(3));  // the wrong array for a search
  prefill();
  sq.search("x");
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(newSquareTargets().size(), 3u);
}

TEST_F(PlaylistBrowserTest, NoServerLeavesTheSquareEmpty) {
  // Nothing listens on port 1 of the loopback: the connection is refused at once.
  const std::string base = "http://127.0.0.1:1";
  PlaylistBrowser sq = squareAt(base);
  prefill();
  sq.loadCurrentPage();
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.clears, 1);
  EXPECT_FALSE(view.answered);
  EXPECT_FALSE(sq.answered());
  EXPECT_FALSE(view.morePages);
}

// Whether 下一页 leads anywhere: from the answer's own word when it gives one, else from a full
// page.
TEST_F(PlaylistBrowserTest, NextPageIsOfferedOnlyWhenAPageFollows) {
  struct Case {
    const char* path;
    std::string answer;
    bool more;
  } cases[] = {
      {"/top/playlist", R"({"code":200,"playlists":[{"name":"a","id":1}],"more":true})", true},
      {"/top/playlist", playlistsAnswer(8).replace(0, 1, R"({"more":false,)"), false},
      {"/top/playlist", playlistsAnswer(8), true},
      {"/top/playlist", playlistsAnswer(7), false},
      {"/search", R"({"result":{"playlists":[{"name":"a","id":1}],"playlistCount":9}})", true},
      {"/search", R"({"result":{"playlists":[{"name":"a","id":1}],"playlistCount":1}})", false},
  };
  PlaylistBrowser sq = square();
  for (const Case& c : cases) {
    server_->clearFaults();
    server_->answerWith(c.path, c.answer);
    if (std::string(c.path) == "/search")
      sq.search("x");
    else
      sq.chooseCategory(0);
    EXPECT_EQ(view.morePages, c.more) << c.answer;
  }
}

TEST_F(PlaylistBrowserTest, OutOfRangeCategoryOrUnknownModeChangesNothingFurther) {
  start.browseOffset = 16;
  PlaylistBrowser sq = square();
  view.pagingVisible = false;
  sq.chooseCategory(22);
  sq.chooseCategory(-1);
  EXPECT_TRUE(view.pagingVisible);
  EXPECT_EQ(sq.paging().browseKeyword, "全部");
  EXPECT_EQ(sq.paging().browseOffset, 16);
  start.browseMode = "别的";
  PlaylistBrowser other = square();
  prefill();
  other.firstPage();
  other.nextPage();
  EXPECT_EQ(other.paging().browseOffset, 16);
  EXPECT_EQ(view.rows.size(), 2u);
  EXPECT_TRUE(newSquareTargets().empty());
}

TEST_F(PlaylistBrowserTest, AccountPlaylistsReplaceTheRowsAndStopPaging) {
  PlaylistBrowser sq = square();
  sq.chooseCategory(0);
  sq.nextPage();
  sq.ShowAccountPlaylists({"我喜欢的音乐", "跑步"}, {"9007199254740995", "42"});
  ASSERT_EQ(view.rows.size(), 2u);
  EXPECT_EQ(view.rows[0].name, "我喜欢的音乐");
  EXPECT_EQ(view.rows[0].id, "9007199254740995");
  EXPECT_EQ(view.rows[1].id, "42");
  EXPECT_FALSE(view.pagingVisible);
  EXPECT_EQ(view.squareShows, 1);
  EXPECT_EQ(sq.paging().browseMode, "默认");
  EXPECT_EQ(sq.paging().browseOffset, 8);
  // A short name list leaves empty names rather than reading past its end.
  sq.ShowAccountPlaylists({"一"}, {"1", "2", "3"});
  ASSERT_EQ(view.rows.size(), 3u);
  EXPECT_EQ(view.rows[2].name, "");
  EXPECT_EQ(view.rows[2].id, "3");
}

// Runs the first wait's work, then a click that the window handles before that wait returns.
struct ClickDuringWait : BlockingRunner {
  void run(const BlockingWork& work) override {
    const StopFlag never{false};
    work(never);
    if (auto click = std::exchange(meanwhile, nullptr)) click();
  }
  std::function<void()> meanwhile;
};

TEST_F(PlaylistBrowserTest, AnAnswerOvertakenDuringItsWaitIsNotShown) {
  std::vector<PlaylistRow> secondPage;
  {
    PlaylistBrowser sq = square();
    sq.chooseCategory(0);
    sq.nextPage();
    secondPage = view.rows;
    ASSERT_FALSE(secondPage.empty());
  }
  const struct {
    const char* click;
    std::function<void(PlaylistBrowser&)> run;
    std::vector<PlaylistRow> shown;
  } cases[] = {
      {"next page", [](PlaylistBrowser& sq) { sq.nextPage(); }, secondPage},
      {"account playlists",
       [](PlaylistBrowser& sq) { sq.ShowAccountPlaylists({"我的"}, {"42"}); },
       {{"我的", "42"}}},
  };
  for (const auto& c : cases) {
    ClickDuringWait runner;
    PlaylistBrowser sq = square(runner);
    runner.meanwhile = [&] { c.run(sq); };
    sq.chooseCategory(0);
    ASSERT_EQ(view.rows.size(), c.shown.size()) << c.click;
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(view.rows[i].name, c.shown[i].name) << c.click;
      EXPECT_EQ(view.rows[i].id, c.shown[i].id) << c.click;
    }
    EXPECT_EQ(sq.rows().size(), c.shown.size()) << c.click;
  }
}

// Looks at the square while a page is on its way, as a play pressed then would.
struct LookDuringWait : BlockingRunner {
  void run(const BlockingWork& work) override {
    if (look) look();
    const StopFlag never{false};
    work(never);
  }
  std::function<void()> look;
};

TEST_F(PlaylistBrowserTest, APlayWhileAPageComesDrawsFromTheRowsShownBeforeOrWaitsForIt) {
  LookDuringWait runner;
  PlaylistBrowser sq = square(runner);
  std::vector<PlaylistRow> playable;
  bool answered = true;
  runner.look = [&] {
    playable = sq.playableRows();
    answered = sq.answered();
  };
  // Nothing shown yet: the play finds no answer and asks for the page itself.
  sq.loadCurrentPage();
  EXPECT_TRUE(playable.empty());
  EXPECT_FALSE(answered);
  const std::vector<PlaylistRow> firstPage = sq.rows();
  ASSERT_FALSE(firstPage.empty());
  // The square is cleared for the next page, but a play still has the first page's playlists.
  sq.nextPage();
  ASSERT_EQ(playable.size(), firstPage.size());
  EXPECT_EQ(playable.front().id, firstPage.front().id);
  EXPECT_TRUE(answered);
  EXPECT_NE(sq.playableRows().front().id, firstPage.front().id);
}

}  // namespace
}  // namespace lumora::test
