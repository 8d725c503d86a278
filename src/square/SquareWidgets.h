#pragma once
// The playlist square on the main window: binds the events of the controls of 外形框1 to the
// square and shows its rows in 超级列表框1.
#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "square/PlaylistBrowser.h"
#include "square/SquareControls.h"

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QLabel;
class QTreeWidget;
class QAbstractButton;

namespace lumora {

class SquareWidgets : public QObject, private PlaylistBrowserView {
  Q_OBJECT
 public:
  // What the empty square says: the server has none to show, or could not be reached.
  static constexpr const char* kNothingToShow = "这里还没有歌单";
  static constexpr const char* kLoadFailed = "歌单加载失败，点首页重试";
  static constexpr const char* kLoadRefused = "服务器拒绝了请求";
  // ... and what it says while a page is on its way.
  static constexpr const char* kLoading = "歌单加载中...";

  // settingsPanel is 外形框2, which shares the face with the square and is hidden to show it.
  // Page requests wait through `runner`.
  SquareWidgets(const SquareControls& controls, QWidget* settingsPanel, JsonDocument& apiJson,
                std::string apiBase, BlockingRunner& runner = InPlaceRunner(),
                QObject* parent = nullptr);

  PlaylistBrowser& square() { return square_; }
  void loadOpeningPage() { square_.loadOpeningPage(); }
  void ShowAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids) {
    square_.ShowAccountPlaylists(names, ids);
  }

  int rowCount() const;
  // The playlist id of a row (rows from 0); empty for a row that is not there.
  std::string playlistIdAt(int row) const;

 signals:
  // A double-click on a row; the selected row, or -1 when none is selected.
  void playlistChosen(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void clearRows() override;
  void appendRow(const std::string& name, const std::string& id) override;
  void setPagingButtonsVisible(bool visible) override;
  void hideSearchBox() override;
  void showSquare() override;
  void pageLoading() override;
  void pageLoaded(bool answered, bool morePages) override;

  void runSearch();
  static void setSearchTextTyping(QLineEdit& edit, bool typing);
  int selectedRow() const;

  QPointer<QWidget> frame_;
  QPointer<QWidget> settingsPanel_;
  QPointer<QTreeWidget> rows_;
  QPointer<QComboBox> categories_;
  QPointer<QAbstractButton> firstPageButton_;
  QPointer<QAbstractButton> nextPageButton_;
  QPointer<QAbstractButton> searchToggle_;
  QPointer<QWidget> searchBox_;
  QPointer<QLineEdit> searchEdit_;
  QPointer<QAbstractButton> searchButton_;
  // Laid over the empty rows: says there is nothing to show rather than leaving a blank.
  QPointer<QLabel> emptyNote_;
  // Only compared with the watched object, never followed: the filter also sees the controls
  // while they are being destroyed.
  const QObject* searchEditObject_ = nullptr;
  const QObject* rowsViewportObject_ = nullptr;
  PlaylistBrowser square_;
};

}  // namespace lumora
