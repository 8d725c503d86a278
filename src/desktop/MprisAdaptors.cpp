#include "desktop/MprisAdaptors.h"

#include "desktop/MprisService.h"

namespace lumora {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

void MprisRootAdaptor::Quit() { service_->quit(); }

void MprisRootAdaptor::Raise() { service_->raise(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::playbackStatus() const { return service_->playbackStatus(); }

QVariantMap MprisPlayerAdaptor::metadata() const { return service_->metadata(); }

double MprisPlayerAdaptor::volume() const { return service_->volume(); }

void MprisPlayerAdaptor::setVolume(double volume) { service_->setVolume(volume); }

qlonglong MprisPlayerAdaptor::position() const { return service_->position(); }

bool MprisPlayerAdaptor::canSeek() const { return service_->canSeek(); }

void MprisPlayerAdaptor::Next() { service_->next(); }

void MprisPlayerAdaptor::Previous() { service_->previous(); }

void MprisPlayerAdaptor::Pause() { service_->pause(); }

void MprisPlayerAdaptor::PlayPause() { service_->playPause(); }

void MprisPlayerAdaptor::Stop() { service_->stop(); }

void MprisPlayerAdaptor::Play() { service_->play(); }

void MprisPlayerAdaptor::Seek(qlonglong offset) { service_->seek(offset); }

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  service_->setPosition(trackId, position);
}

}  // namespace lumora
