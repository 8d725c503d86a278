#pragma once
// The playlist square without its widgets: which page to ask for, how to ask, and how an answer
// becomes rows. SquareWidgets shows the rows through PlaylistBrowserView.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/Runners.h"
#include "common/Latest.h"
#include "json/JsonDocument.h"

namespace lumora {

// The categories of 组合框1, index for index; these texts are what the server is sent.
inline constexpr std::array<std::string_view, 22> kSquareCategories = {
    "全部", "华语", "流行", "影视原声", "综艺",   "怀旧",     "欧美", "浪漫",
    "学习", "校园", "工作", "午休",     "下午茶", "网络歌曲", "KTV",  "70后",
    "80后", "90后", "00后", "经典",     "酒吧",   "榜单"};

inline constexpr std::size_t kSquarePageSize = 8;
inline constexpr std::string_view kSquareHot = "默认";
inline constexpr std::string_view kSquareSearch = "查询";
// What 编辑框_歌单ID holds before the user first types.
inline constexpr std::string_view kSearchPrompt = "输入查询(回车键)";

// Keeps "-", ".", digits and ASCII letters; every other byte of the UTF-8 text becomes "%XX"
// (uppercase hex).
std::string PercentEncodeUtf8(std::string_view text);

// The request of one page and the array its answer lists the playlists in. An unknown mode
// gives an empty url.
struct SquarePageRequest {
  std::string url;
  std::string arrayName;
};
SquarePageRequest MakeSquarePageRequest(std::string_view apiBase, std::string_view mode,
                                        std::string_view keyword, std::string_view offset);

struct PlaylistRow {
  std::string name;
  std::string id;  // decimal text exactly as the answer wrote it
};

// Parses the answer into `json` and reads one row per entry of the array; no rows when the
// answer is not JSON or lacks the array. A missing name or id reads as the empty text.
std::vector<PlaylistRow> ReadPlaylistRows(JsonDocument& json, std::string_view answer,
                                          std::string_view arrayName);

// The controls the square writes to.
class PlaylistBrowserView {
 public:
  virtual ~PlaylistBrowserView() = default;
  virtual void clearRows() = 0;                                                // 超级列表框1
  virtual void appendRow(const std::string& name, const std::string& id) = 0;  // columns 0 and 1
  virtual void setPagingButtonsVisible(bool visible) = 0;                      // 首页, 下一页
  virtual void hideSearchBox() = 0;                                            // 外形框3
  virtual void showSquare() = 0;                                               // 外形框1
  // A page was asked for and its answer is awaited.
  virtual void pageLoading() = 0;
  // After a page load: whether the server answered at all, and whether a page follows.
  virtual void pageLoaded(bool answered, bool morePages) = 0;
};

// Which page 首页 and 下一页 start from; a run starts at the first page of every category's hot
// playlists. Only the square changes it.
struct SquarePaging {
  std::string browseMode{kSquareHot};  // kSquareHot or kSquareSearch
  std::string browseKeyword{kSquareCategories[0]};
  int browseOffset = 0;
};

class PlaylistBrowser {
 public:
  // Its page requests wait through `runner`.
  PlaylistBrowser(JsonDocument& apiJson, std::string apiBase, PlaylistBrowserView& view,
                  BlockingRunner& runner = InPlaceRunner(), SquarePaging start = {});

  // Empties the square, then fills it with the page the server answers (nothing on failure). The
  // window lives on while the server answers: an answer to a page that another load or the
  // account's list has replaced meanwhile is dropped.
  void LoadPage(std::string_view mode, std::string_view keyword, std::string_view offset);
  // The page the paging names: start-up's first page, or the one a lost server left empty.
  void loadCurrentPage();
  // Start-up's first page, unless something was put into the square before it was asked for.
  void loadOpeningPage();

  void chooseCategory(int index);
  // The first page of what is shown: the category's hot playlists or the search's results;
  // after a search that found nothing, the hot playlists of the category last chosen.
  void firstPage();
  void nextPage();
  // The search text as read from 编辑框_歌单ID when 查询结果 or Enter was pressed.
  void search(const std::string& text);

  // The account's own playlists in the square; paging stays off until a category or search.
  void ShowAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids);

  const SquarePaging& paging() const { return state_; }
  // What the square shows, row for row.
  const std::vector<PlaylistRow>& rows() const { return rows_; }
  // False before the first page came and after a page load that met no server: the square is
  // empty for want of an answer. Also while a page is coming and no rows were shown before it.
  bool answered() const { return answered_ && !(loading_ && rowsBefore_.empty()); }
  // Whether the last page load was turned away by a server that does not answer to its name.
  bool refused() const { return refused_; }
  // The playlists a play may draw from: while a page is coming, the rows shown before it, so
  // a play then never finds the square empty.
  const std::vector<PlaylistRow>& playableRows() const { return loading_ ? rowsBefore_ : rows_; }

 private:
  bool pagingMode() const;
  bool morePages(std::string_view mode) const;
  void clearRows();
  void appendRow(PlaylistRow row);

  SquarePaging state_;
  JsonDocument& apiJson_;
  std::string apiBase_;
  PlaylistBrowserView& view_;
  BlockingRunner& runner_;
  std::vector<PlaylistRow> rows_;
  // The last rows shown, kept while the page that replaces them is on its way.
  std::vector<PlaylistRow> rowsBefore_;
  bool loading_ = false;
  bool answered_ = false;
  bool refused_ = false;
  std::string category_{kSquareCategories[0]};
  bool searchFoundNothing_ = false;
  // Renewed with each filling of the square; a load whose ticket is no longer the latest is
  // stale.
  Latest fills_;
};

}  // namespace lumora
