#include "desktop/Notifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace lumora {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

Notifications::Notifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

bool Notifications::show(const QString& summary, const QString& body, const QString& imagePath) {
  if (!bus_.isConnected() || !bus_.interface() ||
      !bus_.interface()->isServiceRegistered(kService).value())
    return false;
  next_ = Notice{summary, body, imagePath};
  if (!waiting_) send();
  return true;
}

void Notifications::send() {
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("lumora"));
  if (!next_->imagePath.isEmpty())
    hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(next_->imagePath).toString());
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                     kService, QStringLiteral("Notify"));
  call << QStringLiteral("Lumora") << lastId_ << QStringLiteral("lumora") << next_->summary
       << next_->body << QStringList() << hints << -1;
  next_.reset();
  waiting_ = true;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<uint> reply = *w;
    if (!reply.isError()) lastId_ = reply.value();
    w->deleteLater();
    waiting_ = false;
    if (next_) send();
  });
}

}  // namespace lumora
