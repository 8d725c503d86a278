#pragma once
// The player on the session bus as an MPRIS2 media player, so the keyboard's media keys, the
// desktop's now-playing controls and tools such as playerctl can see and steer it. It follows
// playback as an observer and steers it through the routines the face's buttons use.
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <string>

#include "common/Song.h"
#include "desktop/CoverFile.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

class MprisPlayerAdaptor;
class PlaybackController;
class Transport;

// What only the window can do.
struct MprisHooks {
  // Ends the program as its own exit does.
  std::function<void()> quit;
  // Brings the face to the front, from the tray or a minimised state, with the focus.
  std::function<void()> raise;
};

class MprisService : public QObject, public PlaybackObserver {
  Q_OBJECT
 public:
  static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.lumora";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  // Covers are written under coverFolder; song pages live under apiBaseAddress. Observes
  // `playback` from here on: it must outlive the controller or be destroyed after it.
  MprisService(PlaybackController& playback, Transport& transport, MprisHooks hooks,
               std::string coverFolder, std::string apiBaseAddress, QObject* parent = nullptr);
  ~MprisService() override;

  // Exports the player on `bus`. Without a bus, or with the name held by another process and
  // no fallback free, nothing is exported and the player runs on unseen.
  bool publish(QDBusConnection bus);
  bool published() const { return published_; }
  // The bus name taken: kServiceName, or kServiceName.instance<pid> beside another player.
  const QString& serviceName() const { return serviceName_; }
  // The playing song's cover as a file others can open; empty without one.
  const std::string& coverFile() const { return cover_.path(); }

  // Read by the adaptors.
  QString playbackStatus() const;
  QVariantMap metadata() const;
  qlonglong position() const;  // microseconds
  bool canSeek() const;
  double volume() const;
  void setVolume(double volume);

  // Called by the adaptors. They return at once; the routine runs from the event loop, so a
  // song start's waits never hold a D-Bus reply.
  void next();
  void previous();
  void playPause();
  void play();
  void pause();
  void stop();
  void seek(qlonglong offsetMicroseconds);
  void setPosition(const QDBusObjectPath& trackId, qlonglong microseconds);
  void quit();
  void raise();

  void stateChanged(PlayState state) override;
  void coverChanged(const std::string& bytes) override;
  void songStarted(const SongStart& start) override;
  void positionChanged(const PlaybackPosition& at) override;

 private:
  void later(std::function<void()> action);
  void announce(const char* interface, const QVariantMap& changed);
  void announceMetadata();

  PlaybackController& playback_;
  Transport& transport_;
  MprisHooks hooks_;
  CoverFile cover_;
  std::string apiBaseAddress_;
  QDBusConnection bus_;
  QString serviceName_;
  bool published_ = false;
  MprisPlayerAdaptor* player_ = nullptr;

  Song song_;
  std::string pendingCover_;
  // The length the clients were last told, in whole seconds, as the face shows it.
  long long announcedLength_ = 0;
};

}  // namespace lumora
