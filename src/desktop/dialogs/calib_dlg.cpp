#include "desktop/dialogs/calib_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/exercise_limits.h"
#include "app/exercise_use_cases.h"
#include "desktop/dialogs/data_exchange.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {
namespace {

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

struct StepControls {
  CalibrationStep step;
  int32_t go;
  int32_t result;
  const char* name;
};
constexpr StepControls kSteps[kCalibrationSteps] = {
    {CalibrationStep::Offset, CCalibDlg::kOffsetGo, CCalibDlg::kOffsetResult, "Offset"},
    {CalibrationStep::Vertical, CCalibDlg::kVerticalGo, CCalibDlg::kVerticalResult, "Vertical"},
    {CalibrationStep::Horizontal, CCalibDlg::kHorizontalGo, CCalibDlg::kHorizontalResult, "Horizontal"},
};

const QString kWeightInstruction =
    QStringLiteral("Set weight, put above weight onto \n the plate and click Go button.");

}  // namespace

CCalibDlg::CCalibDlg(ProgramPlate& plate, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Calibration")), plate_(plate), procedure_(plate.calibration()) {
  auto* column = new QVBoxLayout(this);
  QWidget* stepBoxes[kCalibrationSteps] = {};
  for (const StepControls& s : kSteps) {
    const QString name = QString::fromLatin1(s.name);
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* goButton = add(s.go, new QPushButton(QStringLiteral("Go"), row), name + QStringLiteral(" Go"));
    goButton->setAutoDefault(false);
    auto* result = add(s.result, new QLineEdit(row), name + QStringLiteral(" result"));
    result->setReadOnly(true);
    line->addWidget(goButton);
    line->addWidget(result);
    const CalibrationStep step = s.step;
    connect(goButton, &QPushButton::clicked, this, [this, step] { go(step); });
    stepBoxes[static_cast<int32_t>(s.step)] = row;
  }

  auto* offset = new QGroupBox(QStringLiteral("Offset calibration"), this);
  offset->setAccessibleName(offset->title());
  auto* offsetColumn = new QVBoxLayout(offset);
  offsetColumn->addWidget(
      new QLabel(QStringLiteral("Remove weight (if any)  from \n the plates and click Go button"), offset));
  offsetColumn->addWidget(stepBoxes[0]);
  column->addWidget(offset);

  auto* progress = add(kProgress, new QProgressBar(this), QStringLiteral("Progress"));
  progress->setTextVisible(false);
  progress->setRange(0, kCalibrationSamples);
  progress->setValue(0);
  column->addWidget(progress);

  auto* weightBox = new QGroupBox(QStringLiteral("Weight calibration"), this);
  weightBox->setAccessibleName(weightBox->title());
  auto* weightColumn = new QVBoxLayout(weightBox);
  auto* weightRow = new QHBoxLayout();
  weightRow->addWidget(new QLabel(QStringLiteral("Weight (kg):"), weightBox));
  auto* weight = add(kWeight, new QLineEdit(weightBox), QStringLiteral("Weight (kg):"));
  weight->setAlignment(Qt::AlignRight);
  weight->setText(QString::number(kDefaultCalibrationWeight));
  weightRow->addWidget(weight);
  weightRow->addStretch(1);
  weightColumn->addLayout(weightRow);
  auto* channels = new QHBoxLayout();
  for (int32_t i = 1; i < kCalibrationSteps; ++i) {
    auto* channel =
        new QGroupBox(i == 1 ? QStringLiteral("Vertical force") : QStringLiteral("Horizontal force"), weightBox);
    channel->setAccessibleName(channel->title());
    auto* inside = new QVBoxLayout(channel);
    inside->addWidget(new QLabel(kWeightInstruction, channel));
    stepBoxes[i]->setParent(channel);
    inside->addWidget(stepBoxes[i]);
    channels->addWidget(channel);
  }
  weightColumn->addLayout(channels);
  column->addWidget(weightBox);
  column->addWidget(addOkCancel());

  timer_.setInterval(static_cast<int>(kCalibrationTickInterval.count()));
  connect(&timer_, &QTimer::timeout, this, &CCalibDlg::onTick);
  procedure_.open();
  showState();
}

void CCalibDlg::showState() {
  for (const StepControls& s : kSteps) {
    control<QLineEdit>(s.result)->setText(toQString(procedure_.statusText(s.step)));
    control(s.go)->setEnabled(procedure_.goEnabled(s.step));
  }
  control(kIdOk)->setEnabled(procedure_.okEnabled());
}

bool CCalibDlg::readWeight(int32_t& kg) {
  DataExchange dx(this);
  return dx.integerInRange(control<QLineEdit>(kWeight), kCalibrationWeight, kg);
}

void CCalibDlg::go(CalibrationStep step) {
  int32_t kg = 0;
  if (step != CalibrationStep::Offset && !readWeight(kg)) return;
  control<QProgressBar>(kProgress)->setRange(0, kCalibrationSamples);
  switch (startCalibrationStep(plate_, step, kg)) {
    case GoResult::Started:
      timer_.start();
      showState();
      return;
    case GoResult::CommunicationError:
      showMessageBox(this, msg::kErrorInCommunication);
      return;
    case GoResult::WeightOutOfRange:  // checked above
    case GoResult::NotOffered:
      return;
  }
}

void CCalibDlg::onTick() {
  const CalibrationTick t = procedure_.tick();
  control<QProgressBar>(kProgress)->setValue(t.progress);
  if (!t.ended) return;
  // A step without its samples, a silent or a lost plate alike, says "Error" in its result box; the
  // message box is for a link that cannot start.
  timer_.stop();
  showState();
}

bool CCalibDlg::exchange() {
  int32_t kg = 0;
  if (!readWeight(kg)) return false;
  timer_.stop();
  return calibrate(plate_, kg);
}

void CCalibDlg::done(int result) {
  timer_.stop();
  // After OK the procedure has applied its steps; any other way out changes nothing.
  if (result != QDialog::Accepted) procedure_.cancel();
  ControlDialog::done(result);
}

}  // namespace velkora
