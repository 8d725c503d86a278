#include "widgets/MessageBox.h"

namespace lumora {

void execMessageBox(QWidget* owner, const MessageBoxRequest& request) {
  QMessageBox box(request.icon, request.title, request.text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace lumora
