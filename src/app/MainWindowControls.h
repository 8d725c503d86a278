#pragma once
// The main window's form: every control under its designed name, at its designed place.
#include <QString>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;
class QWidget;

namespace lumora {

class ColourPicker;
class PictureButton;

// The controls the window's own routines touch; all others are reached by objectName.
struct MainWindowControls {
  QLabel* pic = nullptr;
  QFrame* progressBar = nullptr;
  PictureButton* playButton = nullptr;
  PictureButton* pauseButton = nullptr;
  QLabel* songName = nullptr;
  QLabel* artistName = nullptr;
  PictureButton* listButton = nullptr;
  PictureButton* settingsButton = nullptr;
  PictureButton* exitButton = nullptr;
  QFrame* likeBox = nullptr;   // 信息提示框
  QFrame* sleepBox = nullptr;  // 信息框
  QFrame* listPanel = nullptr;
  QFrame* settingsPanel = nullptr;
  QFrame* searchBox = nullptr;
  QTreeWidget* playlistList = nullptr;
  QCheckBox* autorunBox = nullptr;
  QCheckBox* edgeHideBox = nullptr;
  ColourPicker* colour1 = nullptr;
  ColourPicker* colour2 = nullptr;
  ColourPicker* colour3 = nullptr;
  QComboBox* gradient = nullptr;
  QTimer* dockTimer = nullptr;
  QMenu* menu = nullptr;
};

// Builds the form on `window` as designed (741 × 349, panels to the right of the face); the
// created handler then cuts it down and moves the panels over the face.
MainWindowControls buildMainWindowControls(QWidget* window);

// The resource path of one of the form's pictures, e.g. picturePath("cover").
QString picturePath(const char* name);

}  // namespace lumora
