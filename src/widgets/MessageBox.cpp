#include "widgets/MessageBox.h"

namespace lumora {

// No nested event loop: a box waiting in exec() sits on its caller's stack, and an owner closed
// meanwhile (a termination signal, the sleep timer, the media-player Quit) would delete it from
// under that loop.
void showMessageBox(QWidget* owner, const MessageBoxRequest& request) {
  auto* box = new QMessageBox(request.icon, request.title, request.text, QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->show();
}

}  // namespace lumora
