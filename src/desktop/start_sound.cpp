#include "desktop/start_sound.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace velkora {

StartSound::StartSound(QObject* parent) : QObject(parent) {}

bool StartSound::load(const QString& resource) {
  resource_ = QFile::exists(resource) ? resource : QString();
  return loaded();
}

void StartSound::play() {
  if (!loaded()) return;
  const QAudioDevice output = QMediaDevices::defaultAudioOutput();
  if (output.isNull()) return;
  if (effect_ == nullptr) {
    effect_ = new QSoundEffect(output, this);
    effect_->setSource(QUrl(QStringLiteral("qrc") + resource_));
  }
  effect_->play();
}

}  // namespace velkora
