#pragma once
// The start sound "ZVUK", a short 8-bit mono PCM sound compiled into the program, played without
// waiting when a force test starts. Without the sound or a sound device nothing is played.

#include <QObject>

class QSoundEffect;

namespace velkora {

inline constexpr char kStartSoundResource[] = ":/sounds/ZVUK";

class StartSound final : public QObject {
  Q_OBJECT

 public:
  explicit StartSound(QObject* parent = nullptr);

  // Looks for the sound; false (and silence from then on) when it is missing.
  bool load(const QString& resource = QString::fromLatin1(kStartSoundResource));
  bool loaded() const { return !resource_.isEmpty(); }
  void play();

 private:
  QString resource_;
  QSoundEffect* effect_ = nullptr;  // made on the first play: the audio system starts only when needed
};

}  // namespace velkora
