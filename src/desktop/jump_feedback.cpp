#include "desktop/jump_feedback.h"

#include <QLabel>
#include <QStatusBar>

#include "desktop/exercise_controller.h"
#include "desktop/main_frame.h"
#include "reports/metrics_report.h"
#include "reports/test_metrics.h"

namespace velkora {

JumpFeedback::JumpFeedback(SharedRecords records, CMainFrame& frame, ExerciseController& tests)
    : QObject(&frame), records_(records), label_(new QLabel(&frame)) {
  label_->setObjectName(QStringLiteral("jumpFeedback"));
  label_->setAccessibleName(QStringLiteral("Jump feedback"));
  label_->hide();
  frame.statusBar()->addPermanentWidget(label_);
  connect(&tests, &ExerciseController::started, this, [this] {
    label_->clear();
    label_->hide();
  });
  connect(&tests, &ExerciseController::ended, this, [this](TestEnd end, bool) { onTestEnded(end); });
  connect(&frame, &CMainFrame::measurementOpened, this, [this] {
    label_->clear();
    label_->hide();
  });
}

void JumpFeedback::onTestEnded(TestEnd end) {
  // A stopped or lost power test keeps its recording too, and says what it holds.
  if (records_.store.testKind != TestKind::Power || end == TestEnd::PlateLost) return;
  const QString text = QString::fromStdString(jumpFeedbackText(computeTestMetrics(records_.store, TestKind::Power)));
  label_->setText(text);
  label_->setAccessibleDescription(text);
  label_->show();
}

}  // namespace velkora
