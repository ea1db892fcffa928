#pragma once
// The status bar's word on a jump the moment its power test ends: "Jump 32.4 cm (flight 31.9 cm),
// RSI-mod 0.45". It stays until the next test starts or another recording is opened.

#include <QObject>

#include "acquisition/exercise_session.h"
#include "model/shared_records.h"

class QLabel;

namespace velkora {

class CMainFrame;
class ExerciseController;

class JumpFeedback final : public QObject {
  Q_OBJECT

 public:
  JumpFeedback(SharedRecords records, CMainFrame& frame, ExerciseController& tests);

  QLabel* label() const { return label_; }

 private:
  void onTestEnded(TestEnd end);

  SharedRecords records_;
  QLabel* label_;
};

}  // namespace velkora
