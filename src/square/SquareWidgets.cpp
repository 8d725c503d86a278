#include "square/SquareWidgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTreeWidget>

namespace lumora {

SquareWidgets::SquareWidgets(const SquareControls& controls, QWidget* settingsPanel,
                             JsonDocument& apiJson, std::string apiBase, BlockingRunner& runner,
                             QObject* parent)
    : QObject(parent),
      frame_(controls.frame),
      settingsPanel_(settingsPanel),
      rows_(controls.rows),
      categories_(controls.categories),
      firstPageButton_(controls.firstPage),
      nextPageButton_(controls.nextPage),
      searchToggle_(controls.searchToggle),
      searchBox_(controls.searchBox),
      searchEdit_(controls.searchEdit),
      searchButton_(controls.searchButton),
      square_(apiJson, std::move(apiBase), *this, runner) {
  // A pick of the same category counts too: it is how the user returns from the account list.
  if (categories_)
    connect(categories_, &QComboBox::activated, this,
            [this](int index) { square_.chooseCategory(index); });
  if (firstPageButton_)
    connect(firstPageButton_, &QAbstractButton::clicked, this, [this] { square_.firstPage(); });
  if (nextPageButton_)
    connect(nextPageButton_, &QAbstractButton::clicked, this, [this] { square_.nextPage(); });
  if (searchButton_)
    connect(searchButton_, &QAbstractButton::clicked, this, &SquareWidgets::runSearch);
  if (searchEdit_) {
    connect(searchEdit_, &QLineEdit::returnPressed, this, &SquareWidgets::runSearch);
    searchEditObject_ = searchEdit_;
    searchEdit_->installEventFilter(this);
  }
  if (searchToggle_ && searchBox_)
    connect(searchToggle_, &QAbstractButton::clicked, this,
            [this] { searchBox_->setVisible(searchBox_->isHidden()); });
  if (rows_) {
    rowsViewportObject_ = rows_->viewport();
    rows_->viewport()->installEventFilter(this);
    emptyNote_ = new QLabel(QString::fromUtf8(kNothingToShow), rows_->viewport());
    emptyNote_->setObjectName(QStringLiteral("emptySquareNote"));
    emptyNote_->setAlignment(Qt::AlignCenter);
    emptyNote_->setWordWrap(true);
    emptyNote_->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyNote_->setStyleSheet(QStringLiteral("color: #9aa6b8;"));
    emptyNote_->setGeometry(0, 0, rows_->viewport()->width(), 60);
  }
}

int SquareWidgets::rowCount() const { return static_cast<int>(square_.rows().size()); }

std::string SquareWidgets::playlistIdAt(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  return square_.rows()[static_cast<std::size_t>(row)].id;
}

int SquareWidgets::selectedRow() const {
  if (!rows_) return -1;
  const QList<QTreeWidgetItem*> selected = rows_->selectedItems();
  return selected.isEmpty() ? -1 : rows_->indexOfTopLevelItem(selected.first());
}

bool SquareWidgets::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      // A focused box being destroyed loses the focus too; by then it is no QLineEdit any more.
      if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && watched == searchEditObject_) {
        if (event->type() == QEvent::FocusIn) edit->clear();
        setSearchTextTyping(*edit, event->type() == QEvent::FocusIn);
      }
      break;
    case QEvent::MouseButtonPress:
      if (watched == rowsViewportObject_ &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && searchBox_ &&
          !searchBox_->isHidden())
        searchBox_->hide();
      break;
    case QEvent::MouseButtonDblClick:
      // The first press of the double-click has already selected the row under the cursor.
      if (watched == rowsViewportObject_ &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit playlistChosen(selectedRow());
      break;
    case QEvent::Resize:
      // The note spans the rows as they are laid out, not as they were made.
      if (watched == rowsViewportObject_ && emptyNote_)
        emptyNote_->resize(static_cast<QResizeEvent*>(event)->size().width(), emptyNote_->height());
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void SquareWidgets::setSearchTextTyping(QLineEdit& edit, bool typing) {
  // The face's style sheet colours every edit box, so the colour goes into the box's own sheet.
  // Black text needs a light ground on the dark face to stay legible while typing.
  edit.setStyleSheet(typing ? QStringLiteral("QLineEdit { color: rgb(0, 0, 0); "
                                             "background: rgb(232, 236, 242); }")
                            : QStringLiteral("QLineEdit { color: rgb(192, 192, 192); }"));
}

void SquareWidgets::runSearch() {
  if (searchEdit_) square_.search(searchEdit_->text().toStdString());
}

void SquareWidgets::clearRows() {
  if (rows_) rows_->clear();
  if (emptyNote_) {
    emptyNote_->setText(QString::fromUtf8(kNothingToShow));
    emptyNote_->show();
  }
}

// A slow server leaves the square empty for a while: it says why rather than that there is nothing.
void SquareWidgets::pageLoading() {
  if (emptyNote_) emptyNote_->setText(QString::fromUtf8(kLoading));
}

// Past the last page there is nothing to ask for; 首页 is the way back, and the way to try again.
void SquareWidgets::pageLoaded(bool answered, bool morePages) {
  if (nextPageButton_) nextPageButton_->setEnabled(morePages);
  if (emptyNote_)
    emptyNote_->setText(QString::fromUtf8(answered            ? kNothingToShow
                                          : square_.refused() ? kLoadRefused
                                                              : kLoadFailed));
}

void SquareWidgets::appendRow(const std::string& name, const std::string& id) {
  if (emptyNote_) emptyNote_->hide();
  if (!rows_) return;
  auto* item = new QTreeWidgetItem(rows_);
  item->setText(0, QString::fromStdString(name));
  item->setText(1, QString::fromStdString(id));
}

void SquareWidgets::setPagingButtonsVisible(bool visible) {
  if (firstPageButton_) firstPageButton_->setVisible(visible);
  if (nextPageButton_) nextPageButton_->setVisible(visible);
}

void SquareWidgets::hideSearchBox() {
  if (searchBox_) searchBox_->hide();
}

void SquareWidgets::showSquare() {
  // The square and the settings panel share the face and are never shown together.
  if (settingsPanel_ && !settingsPanel_->isHidden()) settingsPanel_->hide();
  if (frame_) frame_->show();
}

}  // namespace lumora
