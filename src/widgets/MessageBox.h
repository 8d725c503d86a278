#pragma once
// Every message box of the main window goes through one presenter, so tests can record them
// instead of blocking on a modal box.
#include <QMessageBox>
#include <QString>
#include <functional>

namespace lumora {

struct MessageBoxRequest {
  QString text;
  QString title = QString::fromUtf8("信息：");
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

using MessageBoxPresenter = std::function<void(QWidget* owner, const MessageBoxRequest&)>;

// Modal box with an OK button, owned by `owner`; it returns at once and the box deletes itself
// when it is closed, or goes with its owner.
void showMessageBox(QWidget* owner, const MessageBoxRequest& request);

}  // namespace lumora
