#include "desktop/MprisService.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <algorithm>

#include "desktop/MprisAdaptors.h"
#include "desktop/MprisMetadata.h"
#include "desktop/Transport.h"
#include "playback/PlaybackController.h"

namespace lumora {

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr double kMicroseconds = 1e6;

}  // namespace

MprisService::MprisService(PlaybackController& playback, Transport& transport, MprisHooks hooks,
                           std::string coverFolder, std::string apiBaseAddress, QObject* parent)
    : QObject(parent),
      playback_(playback),
      transport_(transport),
      hooks_(std::move(hooks)),
      cover_(std::move(coverFolder)),
      apiBaseAddress_(std::move(apiBaseAddress)),
      bus_(QString()) {
  new MprisRootAdaptor(this);
  player_ = new MprisPlayerAdaptor(this);
  playback_.addObserver(*this);
  connect(&transport_, &Transport::volumeChanged, this, [this](double volume) {
    announce(kPlayerInterface, {{QStringLiteral("Volume"), volume}});
  });
  connect(&transport_, &Transport::seeked, this, [this](double seconds) {
    if (published_) emit player_->Seeked(static_cast<qlonglong>(seconds * kMicroseconds));
  });
}

MprisService::~MprisService() {
  if (!published_) return;
  bus_.unregisterService(serviceName_);
  bus_.unregisterObject(QString::fromLatin1(kObjectPath));
}

bool MprisService::publish(QDBusConnection bus) {
  if (published_ || !bus.isConnected()) return false;
  const QString path = QString::fromLatin1(kObjectPath);
  if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) return false;
  QString name = QString::fromLatin1(kServiceName);
  // A second player on the same desktop takes a name of its own, as the interface provides.
  if (!bus.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerService(name)) {
      bus.unregisterObject(path);
      return false;
    }
  }
  bus_ = bus;
  serviceName_ = name;
  published_ = true;
  return true;
}

QString MprisService::playbackStatus() const { return PlaybackStatusName(playback_.playState()); }

QVariantMap MprisService::metadata() const {
  TrackDetails details;
  details.lengthSeconds = transport_.length();
  details.coverFile = cover_.path();
  if (!song_.id.empty()) details.pageUrl = SongPageUrl(apiBaseAddress_, song_.id);
  return TrackMetadata(song_, details);
}

qlonglong MprisService::position() const {
  return static_cast<qlonglong>(transport_.position() * kMicroseconds);
}

bool MprisService::canSeek() const { return transport_.canSeek(); }

double MprisService::volume() const { return transport_.volume(); }

void MprisService::setVolume(double volume) { transport_.setVolume(volume); }

void MprisService::later(std::function<void()> action) {
  QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
}

void MprisService::next() {
  later([this] { playback_.playNext(); });
}

void MprisService::previous() {
  later([this] { playback_.playPrevious(); });
}

// The face's pause button while playing, its play button otherwise, so the face's buttons and
// title follow as if it had been pressed.
void MprisService::playPause() {
  later([this] {
    if (playback_.playState() == PlayState::Playing)
      playback_.pausePlayback();
    else
      playback_.resumeOrStart();
  });
}

void MprisService::play() {
  later([this] { playback_.resumeOrStart(); });
}

void MprisService::pause() {
  later([this] { playback_.pausePlayback(); });
}

// The face has no stop: its pause, back at the start, so that Play starts the song over.
void MprisService::stop() {
  later([this] {
    playback_.pausePlayback();
    transport_.seekTo(0);
  });
}

// Past the end means the next song; before the start, the start.
void MprisService::seek(qlonglong offsetMicroseconds) {
  later([this, offsetMicroseconds] {
    if (!transport_.canSeek()) return;
    const double target = transport_.position() + offsetMicroseconds / kMicroseconds;
    if (target > transport_.length())
      playback_.playNext();
    else
      transport_.seekTo(std::max(0.0, target));
  });
}

// A position meant for another song, or outside this one, is ignored.
void MprisService::setPosition(const QDBusObjectPath& trackId, qlonglong microseconds) {
  later([this, trackId, microseconds] {
    if (song_.id.empty() || trackId != TrackPath(song_.id)) return;
    const double target = microseconds / kMicroseconds;
    if (target < 0 || target > transport_.length()) return;
    transport_.seekTo(target);
  });
}

void MprisService::quit() {
  later([this] {
    if (hooks_.quit) hooks_.quit();
  });
}

void MprisService::raise() {
  later([this] {
    if (hooks_.raise) hooks_.raise();
  });
}

void MprisService::stateChanged(PlayState) {
  announce(kPlayerInterface, {{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

// The cover comes before the song it belongs to.
void MprisService::coverChanged(const std::string& bytes) { pendingCover_ = bytes; }

void MprisService::songStarted(const SongStart& start) {
  song_ = start.song;
  // Unseen, the player leaves no files behind.
  if (published_) cover_.write(song_.id, pendingCover_);
  pendingCover_.clear();
  announceMetadata();
}

// A stream learns its length after it starts; clients hear of it once it is known.
void MprisService::positionChanged(const PlaybackPosition&) {
  if (static_cast<long long>(transport_.length()) != announcedLength_) announceMetadata();
}

void MprisService::announceMetadata() {
  announcedLength_ = static_cast<long long>(transport_.length());
  announce(kPlayerInterface, {{QStringLiteral("Metadata"), metadata()}});
}

void MprisService::announce(const char* interface, const QVariantMap& changed) {
  if (!published_) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(interface) << changed << QStringList();
  bus_.send(signal);
}

}  // namespace lumora
