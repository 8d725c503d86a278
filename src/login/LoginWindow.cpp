#include "login/LoginWindow.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QWindow>

#include "widgets/FormPlacing.h"
#include "widgets/PictureButton.h"
#include "widgets/WindowShape.h"

// Resources of a static library are linked in only when named, from the global namespace.
static void initLoginResources() { Q_INIT_RESOURCE(lumora_login); }

namespace lumora {

namespace {

// The face's palette: light text on a dark blue-grey, the accent blue for what is active.
const char* const kStyle = R"(
QWidget { color: #e8ecf2; }
QLabel { background: transparent; }
QLabel#透明标签1 { color: #ffffff; font-weight: bold; }
QLabel#标签3 { color: #ffb454; }
QLabel#透明标签4 { color: #ffffff; font-weight: bold; }
QLabel#图片框1 { background: #1b2029; border: 1px solid #3a4456; border-radius: 4px; }
QFrame#外形框1 { background: #161a23; border: 1px solid #2a3140; border-radius: 6px; }
QLineEdit { background: #1b2029; border: 1px solid #3a4456; border-radius: 3px; color: #c0c0c0;
  padding: 0 5px; }
QLineEdit:focus { border-color: #2f8fff; color: #e8ecf2; }
QRadioButton::indicator { width: 11px; height: 11px; border: 1px solid #5a6578;
  border-radius: 6px; background: #1b2029; }
QRadioButton::indicator:checked { background: #2f8fff; border-color: #2f8fff; }
)";

QString picture(const char* name) {
  return QStringLiteral(":/lumora/login/") + QString::fromUtf8(name) + QStringLiteral(".svg");
}

// A picture button is named for screen readers by its tooltip, as on the face.
PictureButton* pictureButton(QWidget* parent, const char* name, const char* image, const char* tip,
                             int x, int y, int w, int h) {
  auto* button = place(new PictureButton(picture(image), parent), name, x, y, w, h);
  button->setToolTip(QString::fromUtf8(tip));
  button->setAccessibleName(QString::fromUtf8(tip));
  return button;
}

// The radio shows only its dot; the label beside it is its caption and selects it too.
QRadioButton* radio(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* button = place(new QRadioButton(parent), name, x, y, 16, 20);
  button->setAccessibleName(QString::fromUtf8(caption));
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

std::string text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

LoginWindow::LoginWindow(LoginFlow& flow, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), flow_(flow) {
  initLoginResources();
  setObjectName(QStringLiteral("LoginWindow"));
  connect(this, &QDialog::finished, this, [this] {
    closed_ = true;
    if (handling_ == 0) deleteLater();
  });
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(QString::fromUtf8("登录窗口"));
  setStyleSheet(QString::fromUtf8(kStyle));
  buildForm();
  buildPanel();
  connectHandlers();

  // Created: the corners first, then the designed size.
  roundWindowCorners(this, 2, 2);
  setFixedSize(318, 238);
  roundWindowCorners(this, 2, 2);
  panel_->move(26, panel_->y());
  handle([this] { flow_.windowCreated(*this); });
  // Nothing takes the focus by itself, so the prompts stay until the user picks a box.
  accountCaption_->setFocus();
}

void LoginWindow::buildForm() {
  // The title and the plain captions let presses through to the window, which drags.
  label(this, "透明标签1", "登录窗口", 14, 9, 120, 20)
      ->setAttribute(Qt::WA_TransparentForMouseEvents);
  closeButton_ = pictureButton(this, "图形按钮1", "close", "关闭", 290, 8, 20, 20);

  phoneRadio_ = radio(this, "单选框1", "手机号", 92, 42);
  phoneRadio_->setChecked(true);
  phoneLabel_ = label(this, "透明标签5", "手机号", 110, 42, 48, 20);
  emailRadio_ = radio(this, "单选框2", "邮箱", 178, 42);
  emailLabel_ = label(this, "透明标签6", "邮箱", 196, 42, 40, 20);
  for (QLabel* caption : {phoneLabel_, emailLabel_}) {
    caption->setCursor(Qt::PointingHandCursor);
    caption->installEventFilter(this);
  }

  accountCaption_ = label(this, "透明标签2", "手机号：", 40, 76, 62, 24);
  accountCaption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // It takes the focus away from the boxes after a mode switch.
  accountCaption_->setFocusPolicy(Qt::ClickFocus);
  accountBox_ =
      place(new QLineEdit(QString::fromUtf8(kPhonePrompt), this), "编辑框1", 106, 76, 170, 24);
  accountBox_->setAccessibleName(QString::fromUtf8("手机号："));
  QLabel* passwordCaption = label(this, "透明标签3", "密码：", 40, 110, 62, 24);
  passwordCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  passwordCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
  passwordBox_ =
      place(new QLineEdit(QString::fromUtf8(kPasswordPrompt), this), "编辑框2", 106, 110, 170, 24);
  passwordBox_->setAccessibleName(QString::fromUtf8("密码："));
  for (QLineEdit* box : {accountBox_, passwordBox_}) box->installEventFilter(this);

  loginButton_ = pictureButton(this, "登录按钮", "login", "登录", 111, 152, 96, 28);
  message_ = label(this, "标签3", "", 20, 194, 278, 22);
  message_->setAlignment(Qt::AlignCenter);
  message_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LoginWindow::buildPanel() {
  // Designed beyond the window's right edge; the created handler brings it in.
  // It covers the form and leaves 标签3 below it in view.
  panel_ = place(new QFrame(this), "外形框1", 322, 42, 266, 140);
  panel_->setAttribute(Qt::WA_StyledBackground);
  avatar_ = place(new QLabel(panel_), "图片框1", 20, 26, 88, 88);
  avatar_->setAlignment(Qt::AlignCenter);
  avatar_->setAccessibleName(QString::fromUtf8("头像"));
  nickname_ = label(panel_, "透明标签4", "", 122, 22, 134, 24);
  // The nickname is the account's own text, never markup.
  nickname_->setTextFormat(Qt::PlainText);
  nickname_->setWordWrap(true);
  playlistsButton_ = pictureButton(panel_, "个人歌单", "playlists", "个人歌单", 130, 58, 32, 32);
  logoutButton_ = pictureButton(panel_, "退出登录", "logout", "退出登录", 204, 58, 32, 32);
  // The pictures alone say little to a first-time user: their names go underneath.
  for (const auto* button : {playlistsButton_, logoutButton_}) {
    auto* caption = new QLabel(button->toolTip(), panel_);
    caption->setObjectName(button->objectName() + QStringLiteral("说明"));
    caption->setGeometry(button->x() - 14, 92, 60, 18);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("color: #9aa6b8;"));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
}

void LoginWindow::connectHandlers() {
  connect(phoneRadio_, &QRadioButton::clicked, this,
          [this] { flow_.selectMode(*this, LoginMode::Phone); });
  connect(emailRadio_, &QRadioButton::clicked, this,
          [this] { flow_.selectMode(*this, LoginMode::Email); });
  auto logIn = [this] { sendOnce([this] { showWaiting([this] { flow_.login(*this); }); }); };
  connect(loginButton_, &PictureButton::clicked, this, logIn);
  connect(passwordBox_, &QLineEdit::returnPressed, this, logIn);
  connect(playlistsButton_, &PictureButton::clicked, this,
          [this] { flow_.showAccountPlaylists(*this); });
  connect(logoutButton_, &PictureButton::clicked, this,
          [this] { sendOnce([this] { flow_.logout(*this); }); });
  connect(closeButton_, &PictureButton::clicked, this, &QDialog::close);
}

void LoginWindow::handle(const std::function<void()>& handler) {
  if (handling_++ == 0) setCursor(Qt::BusyCursor);
  handler();
  if (--handling_ > 0) return;
  unsetCursor();
  // Through the event queue, like a deletion from the close event itself: a deletion asked
  // for from a handler outside any event loop would wait for the next loop to start.
  if (closed_) QMetaObject::invokeMethod(this, &QObject::deleteLater, Qt::QueuedConnection);
}

// The server may take a while (a guesser's slowing holds answers back): 标签3 says the login is
// out until the answer is shown. An answer that shows nothing leaves the message as it was.
void LoginWindow::showWaiting(const std::function<void()>& handler) {
  const QString before = message_->text();
  const QString waiting = QString::fromUtf8(kLoggingIn);
  message_->setText(waiting);
  handler();
  if (message_->text() == waiting) message_->setText(before);
}

// A login or logout asked again while the first one waits is the same wish again.
void LoginWindow::sendOnce(const std::function<void()>& handler) {
  if (handling_ == 0) handle(handler);
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == phoneLabel_) flow_.selectMode(*this, LoginMode::Phone);
    if (watched == emailLabel_) flow_.selectMode(*this, LoginMode::Email);
  }
  if (event->type() == QEvent::FocusIn) {
    if (watched == accountBox_) flow_.accountFocused(*this);
    if (watched == passwordBox_) flow_.passwordFocused(*this);
  }
  return QDialog::eventFilter(watched, event);
}

void LoginWindow::mousePressEvent(QMouseEvent* event) {
  // Frameless: the background is the handle, as on the face.
  if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()) &&
      windowHandle()) {
    windowHandle()->startSystemMove();
    return;
  }
  QDialog::mousePressEvent(event);
}

void LoginWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QLinearGradient shade(0, 0, 0, height());
  shade.setColorAt(0, QColor(0x23, 0x2a, 0x38));
  shade.setColorAt(1, QColor(0x12, 0x15, 0x1c));
  p.fillRect(rect(), shade);
  QRadialGradient glow(width() / 2.0, height() * 0.62, width() * 0.6);
  glow.setColorAt(0, QColor(47, 143, 255, 40));
  glow.setColorAt(1, QColor(47, 143, 255, 0));
  p.fillRect(rect(), glow);
  p.setPen(QColor(255, 255, 255, 20));
  p.drawLine(10, 33, width() - 10, 33);
}

LoginMode LoginWindow::checkedMode() const {
  if (phoneRadio_->isChecked()) return LoginMode::Phone;
  if (emailRadio_->isChecked()) return LoginMode::Email;
  return LoginMode::None;
}

void LoginWindow::checkMode(LoginMode mode) {
  phoneRadio_->setChecked(mode == LoginMode::Phone);
  emailRadio_->setChecked(mode == LoginMode::Email);
}

void LoginWindow::setAccountCaption(const std::string& text) {
  accountCaption_->setText(QString::fromStdString(text));
  accountBox_->setAccessibleName(QString::fromStdString(text));
}

void LoginWindow::focusAccountCaption() { accountCaption_->setFocus(); }

std::string LoginWindow::accountText() const { return text(accountBox_); }

void LoginWindow::setAccountText(const std::string& text) {
  accountBox_->setText(QString::fromStdString(text));
}

void LoginWindow::setAccountDigitsOnly(bool digitsOnly) {
  if (!digitsOnly) {
    accountBox_->setValidator(nullptr);
    return;
  }
  static const QRegularExpression digits(QStringLiteral("[0-9]*"));
  accountBox_->setValidator(new QRegularExpressionValidator(digits, accountBox_));
}

std::string LoginWindow::passwordText() const { return text(passwordBox_); }

void LoginWindow::setPasswordText(const std::string& text) {
  passwordBox_->setText(QString::fromStdString(text));
}

void LoginWindow::setPasswordMasked(bool masked) {
  passwordBox_->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
}

void LoginWindow::setMessage(const std::string& text) {
  message_->setText(QString::fromStdString(text));
}

void LoginWindow::setPanelVisible(bool visible) { panel_->setVisible(visible); }

void LoginWindow::setNicknameCaption(const std::string& text) {
  nickname_->setText(QString::fromStdString(text));
}

void LoginWindow::setAvatar(const Bytes& bytes) {
  QPixmap pixmap;
  if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                           static_cast<uint>(bytes.size()))) {
    avatar_->clear();
    return;
  }
  avatar_->setPixmap(
      pixmap.scaled(avatar_->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void LoginWindow::closeWindow() { QDialog::close(); }

}  // namespace lumora
