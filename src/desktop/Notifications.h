#pragma once
// Desktop notifications through the session bus's notification server. Each one replaces the one
// before, so a run of song changes leaves one bubble, not a stack.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

namespace lumora {

class Notifications : public QObject {
 public:
  explicit Notifications(QDBusConnection bus, QObject* parent = nullptr);

  // False, and nothing sent, when no server is on the bus. An empty image path sends none. Sent
  // at once, or when the server has answered the one before; then only the newest is sent.
  bool show(const QString& summary, const QString& body, const QString& imagePath);

 private:
  struct Notice {
    QString summary, body, imagePath;
  };
  void send();

  QDBusConnection bus_;
  // While the server has not answered a call, only the newest notice waits: it needs the id.
  bool waiting_ = false;
  std::optional<Notice> next_;
  // The server's id of the last notification; 0 for none yet.
  uint lastId_ = 0;
};

}  // namespace lumora
