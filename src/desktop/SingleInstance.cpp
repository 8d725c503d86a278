#include "desktop/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "desktop/MprisService.h"

namespace lumora {

bool HandOverToRunningPlayer(QDBusConnection bus) {
  QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
  if (!names) return false;
  const QString name = QString::fromLatin1(MprisService::kServiceName);
  // Taken now rather than when the window publishes it, so two starts at once cannot both miss
  // each other; publishing later finds the name already ours.
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claim =
      names->registerService(name, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
  if (!claim.isValid() || claim.value() != QDBusConnectionInterface::ServiceNotRegistered)
    return false;
  // A player that is still starting may not answer yet; it is there all the same.
  const QDBusMessage raise = QDBusMessage::createMethodCall(
      name, QString::fromLatin1(MprisService::kObjectPath),
      QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
  bus.call(raise, QDBus::Block, 5000);
  return true;
}

}  // namespace lumora
