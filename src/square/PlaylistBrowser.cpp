#include "square/PlaylistBrowser.h"

#include "net/HttpClient.h"

namespace lumora {

namespace {

bool keptAsIs(unsigned char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

}  // namespace

std::string PercentEncodeUtf8(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (keptAsIs(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

SquarePageRequest MakeSquarePageRequest(std::string_view apiBase, std::string_view mode,
                                        std::string_view keyword, std::string_view offset) {
  SquarePageRequest request;
  if (mode == kSquareHot) {
    request.url.append(apiBase)
        .append("/top/playlist?limit=8&offset=")
        .append(offset)
        .append("&order=hot&cat=")
        .append(PercentEncodeUtf8(keyword));
    request.arrayName = "playlists";
  } else if (mode == kSquareSearch) {
    request.url.append(apiBase)
        .append("/search?keywords=")
        .append(PercentEncodeUtf8(keyword))
        .append("&limit=8&offset=")
        .append(offset)
        .append("&type=1000");
    request.arrayName = "result.playlists";
  }
  return request;
}

std::vector<PlaylistRow> ReadPlaylistRows(JsonDocument& json, std::string_view answer,
                                          std::string_view arrayName) {
  std::vector<PlaylistRow> rows;
  if (!json.Parse(answer)) return rows;
  const std::string array(arrayName);
  const int n = json.Count(array);
  rows.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::string entry = array + "[" + std::to_string(i) + "]";
    PlaylistRow row;
    row.name = json.GetText(entry + ".name");
    // A missing id would write as "undefined"; the row keeps an empty cell instead.
    if (json.Exists(entry + ".id")) row.id = json.GetSubDocument(entry + ".id").ToText();
    rows.push_back(std::move(row));
  }
  return rows;
}

PlaylistBrowser::PlaylistBrowser(JsonDocument& apiJson, std::string apiBase,
                                 PlaylistBrowserView& view, BlockingRunner& runner,
                                 SquarePaging start)
    : state_(std::move(start)),
      apiJson_(apiJson),
      apiBase_(std::move(apiBase)),
      view_(view),
      runner_(runner) {}

void PlaylistBrowser::LoadPage(std::string_view mode, std::string_view keyword,
                               std::string_view offset) {
  // Cleared first, so a failed request leaves the square empty rather than stale.
  if (!rows_.empty()) rowsBefore_ = rows_;
  clearRows();
  const Latest::Ticket filling = fills_.current();
  const SquarePageRequest request = MakeSquarePageRequest(apiBase_, mode, keyword, offset);
  if (request.url.empty()) return;
  loading_ = true;
  view_.pageLoading();
  HttpClient::Outputs outputs;
  const std::string answer =
      BodyText(HttpClient::Request(request.url, {.runner = &runner_}, &outputs));
  if (!fills_.isLatest(filling)) return;
  loading_ = false;
  std::vector<PlaylistRow> rows = ReadPlaylistRows(apiJson_, answer, request.arrayName);
  // A server error or an answer that does not read is a failed load, not an empty page.
  refused_ = outputs.status == HttpClient::kMisdirectedRequest;
  answered_ = outputs.status > 0 && outputs.status < 500 && !refused_ &&
              (!rows.empty() || apiJson_.Parse(answer));
  for (PlaylistRow& row : rows) appendRow(std::move(row));
  view_.pageLoaded(answered_, morePages(mode));
}

// The answer tells whether more follow; without that, only a full page may have a next one.
bool PlaylistBrowser::morePages(std::string_view mode) const {
  if (rows_.empty()) return false;
  if (mode == kSquareHot && apiJson_.Exists("more"))
    return apiJson_.GetSubDocument("more").ToText() == "true";
  if (mode == kSquareSearch && apiJson_.Exists("result.playlistCount"))
    return apiJson_.GetNumber("result.playlistCount") >
           static_cast<double>(state_.browseOffset) + static_cast<double>(rows_.size());
  return rows_.size() >= kSquarePageSize;
}

void PlaylistBrowser::clearRows() {
  fills_.renew();
  loading_ = false;
  rows_.clear();
  view_.clearRows();
}

void PlaylistBrowser::appendRow(PlaylistRow row) {
  view_.appendRow(row.name, row.id);
  rows_.push_back(std::move(row));
}

void PlaylistBrowser::loadCurrentPage() {
  LoadPage(state_.browseMode, state_.browseKeyword, std::to_string(state_.browseOffset));
}

// Asked for once the face is on screen: a play pressed before, or the account's lists shown
// from the tray while the face stayed hidden, has filled the square already.
void PlaylistBrowser::loadOpeningPage() {
  if (fills_.untouched()) loadCurrentPage();
}

void PlaylistBrowser::chooseCategory(int index) {
  view_.setPagingButtonsVisible(true);
  state_.browseMode = kSquareHot;
  if (index < 0 || index >= static_cast<int>(kSquareCategories.size())) return;
  state_.browseKeyword = kSquareCategories[static_cast<std::size_t>(index)];
  category_ = state_.browseKeyword;
  state_.browseOffset = 0;
  LoadPage(kSquareHot, state_.browseKeyword, "0");
}

bool PlaylistBrowser::pagingMode() const {
  return state_.browseMode == kSquareHot || state_.browseMode == kSquareSearch;
}

// A search that found nothing has no first page to go back to: 首页 leads back to the hot
// playlists of the category last chosen.
void PlaylistBrowser::firstPage() {
  if (!pagingMode()) return;
  if (state_.browseMode == kSquareSearch && searchFoundNothing_) {
    state_.browseMode = kSquareHot;
    state_.browseKeyword = category_;
  }
  state_.browseOffset = 0;
  LoadPage(state_.browseMode, state_.browseKeyword, "0");
}

void PlaylistBrowser::nextPage() {
  if (!pagingMode()) return;
  state_.browseOffset += static_cast<int>(kSquarePageSize);
  LoadPage(state_.browseMode, state_.browseKeyword, std::to_string(state_.browseOffset));
}

void PlaylistBrowser::search(const std::string& text) {
  if (text.empty() || text == kSearchPrompt) {
    view_.hideSearchBox();
    return;
  }
  view_.setPagingButtonsVisible(true);
  state_.browseMode = kSquareSearch;
  view_.hideSearchBox();
  state_.browseOffset = 0;
  state_.browseKeyword = text;
  LoadPage(kSquareSearch, state_.browseKeyword, "0");
  searchFoundNothing_ = answered_ && rows_.empty();
}

void PlaylistBrowser::ShowAccountPlaylists(const std::vector<std::string>& names,
                                           const std::vector<std::string>& ids) {
  clearRows();
  answered_ = true;
  // The lists come in pairs; a name missing from a short list shows as an empty cell.
  for (std::size_t i = 0; i < ids.size(); ++i)
    appendRow({i < names.size() ? names[i] : std::string(), ids[i]});
  view_.setPagingButtonsVisible(false);
  view_.showSquare();
}

}  // namespace lumora
