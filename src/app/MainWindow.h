#pragma once
// The player face: a frameless 154 × 260 window whose controls carry their designed names.
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "app/ProgramObjects.h"
#include "face/FaceDrag.h"
#include "face/MainWindowControls.h"
#include "login/LoginFlow.h"
#include "net/AccountClient.h"
#include "playback/PlaybackController.h"
#include "widgets/MessageBox.h"
#include "widgets/SvgPicture.h"

namespace lumora {

class EdgeDockingTimer;
class FaceView;
class HideToTray;
class PlaybackWiring;
class PumpedWaits;
class PlayerMemoryWiring;
class TrayWiring;
class SquareWidgets;
class SettingsWiring;
class ShortcutPoll;
class SleepCountdown;

// What a login changes outside its window reaches the main window as its LoginHost.
class MainWindow : public QWidget, private LoginHost {
  Q_OBJECT
 public:
  // Builds the form and runs the created handler. Without a presenter, boxes are modal dialogs.
  explicit MainWindow(ProgramObjects& objects, MessageBoxPresenter presenter = {},
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  const MainWindowControls& controls() const { return controls_; }
  QMenu* menu() const { return controls_.menu.menu; }
  QSystemTrayIcon* trayIcon() const { return tray_; }
  TrayWiring* trayWiring() const { return trayWiring_; }
  PlaybackController& playback();
  FaceView& face();
  SquareWidgets* squareWidgets() const { return square_; }
  AccountClient& account() { return account_; }

  // Tray activation → the operation number the handlers are bound to (1, 2, 3; 0 for others).
  static int trayOperation(QSystemTrayIcon::ActivationReason reason);

  void showMessage(const QString& text, const QString& title = QString::fromUtf8("信息："),
                   QMessageBox::Icon icon = QMessageBox::NoIcon);

 public slots:
  // Closes the window; the destroy handler runs first, whichever way this is reached.
  void destroyMainWindow();
  void onTrayOperation(int operation);
  void popUpMenu(const QPoint& globalPos);
  void toggleSquare();
  void toggleSettingsPanel();
  void showAbout();
  // Hide-to-tray switch of "最小化(&Ctrl+ M)"; the tray's left click runs it too.
  void toggleHideToTray();

 protected:
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void onMainWindowCreated();
  // The face's first paint has been flushed.
  void onFaceShown();
  void onMainWindowDestroying();
  void connectControls();
  void putTrayIcon();
  void togglePanel(QWidget* panel, QWidget* other);

  // LoginHost
  void setLoginItemCaption(const std::string& text) override;
  void setLikeItemVisible(bool visible) override;
  bool personalFmSelected() const override;
  void clearFmQueue() override;
  void playNext() override;
  void showAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids) override;

  // Filled in by the features that own them.
  void reflectAutorun();
  void setUpDesktopLyrics();
  void applySavedSettings();
  void saveSettings();
  void alignDockingTimer();

  ProgramObjects& objects_;
  MessageBoxPresenter presenter_;
  MainWindowControls controls_;
  // Made first: every routine that waits uses it, and every client that transfers is handed it.
  PumpedWaits* waits_ = nullptr;
  // The login; every run starts logged out.
  AccountClient account_;
  QPointer<QSystemTrayIcon> tray_;
  // Child QObject; destroyed with the window, after the destroy handler has stopped its timers.
  PlaybackWiring* playback_ = nullptr;
  SquareWidgets* square_ = nullptr;
  SettingsWiring* settings_ = nullptr;
  // The window's behaviours, its children; the destroy handler stops the last three's timers.
  HideToTray* hideToTray_ = nullptr;
  SleepCountdown* sleep_ = nullptr;
  EdgeDockingTimer* docking_ = nullptr;
  ShortcutPoll* shortcuts_ = nullptr;
  TrayWiring* trayWiring_ = nullptr;
  std::unique_ptr<PlayerMemoryWiring> memory_;
  // The form's background, drawn under the controls.
  std::unique_ptr<SvgPicture> background_;
  FaceDrag drag_{this};
  bool destroyed_ = false;
  bool faceShown_ = false;
  bool deleteWhenWaitsEnd_ = false;
};

}  // namespace lumora
