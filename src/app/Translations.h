#pragma once

namespace lumora {

// The standard dialogs (message box buttons, the colour dialog) speak the interface's Chinese
// whatever the desktop's locale, from Qt's own translations. False when they are not installed;
// the dialogs then stay in English. Call once after the QApplication exists.
bool installChineseTranslations();

}  // namespace lumora
