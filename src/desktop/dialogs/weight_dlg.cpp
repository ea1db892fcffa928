#include "desktop/dialogs/weight_dlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/exercise_limits.h"
#include "acquisition/power_exercise.h"
#include "app/exercise_use_cases.h"
#include "desktop/dialogs/data_exchange.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {
namespace {

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

CWeightDlg::CWeightDlg(ProgramPlate& plate, AppSettings& app, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Power dialog")), plate_(plate), weighing_(plate.weighing()), app_(app) {
  auto* column = new QVBoxLayout(this);
  auto* timeRow = new QHBoxLayout();
  timeRow->addWidget(new QLabel(QStringLiteral("Time (s):"), this));
  auto* time = add(kTime, new QLineEdit(this), QStringLiteral("Time (s):"));
  time->setAlignment(Qt::AlignRight);
  timeRow->addWidget(time);
  column->addLayout(timeRow);

  auto* group = new QGroupBox(QStringLiteral("Body weight"), this);
  group->setAccessibleName(QStringLiteral("Body weight"));
  auto* inside = new QVBoxLayout(group);
  auto* instruction = add(kInstruction, new QLabel(group), QStringLiteral("Instruction"));
  inside->addWidget(instruction);
  auto* goRow = new QHBoxLayout();
  auto* goButton = add(kGo, new QPushButton(QStringLiteral("Go"), group), QStringLiteral("Go"));
  goButton->setAutoDefault(false);
  goRow->addWidget(goButton);
  auto* status = add(kStatus, new QLineEdit(group), QStringLiteral("Status"));
  status->setReadOnly(true);
  goRow->addWidget(status);
  inside->addLayout(goRow);
  auto* weight = add(kBodyWeight, new QLabel(group), QStringLiteral("Body weight"));
  inside->addWidget(weight);
  column->addWidget(group);

  auto* progress = add(kProgress, new QProgressBar(this), QStringLiteral("Progress"));
  progress->setTextVisible(false);
  progress->setRange(0, kWeighingSamples);
  progress->setValue(0);
  column->addWidget(progress);
  column->addWidget(addOkCancel());

  connect(goButton, &QPushButton::clicked, this, &CWeightDlg::go);
  timer_.setInterval(static_cast<int>(kWeighingTickInterval.count()));
  connect(&timer_, &QTimer::timeout, this, &CWeightDlg::onTick);

  weighing_.open();
  time->setText(QString::number(app.powerTestTime));
  showState();
}

void CWeightDlg::showState() {
  control<QLineEdit>(kStatus)->setText(toQString(weighing_.statusText()));
  control<QLabel>(kInstruction)->setText(toQString(weighing_.instruction()));
  const bool weighed = weighing_.status() == WeighingStatus::Done;
  control<QLabel>(kBodyWeight)->setText(weighed ? toQString(bodyWeightText(weighing_.bodyWeight())) : QString());
  control(kBodyWeight)->setVisible(weighed);
  control(kGo)->setEnabled(weighing_.goEnabled());
  control(kIdOk)->setEnabled(weighing_.okEnabled());
}

bool CWeightDlg::readTime(int32_t& seconds) {
  DataExchange dx(this);
  return dx.integerInRange(control<QLineEdit>(kTime), kPowerTestSeconds, seconds);
}

void CWeightDlg::go() {
  if (!weighing_.goEnabled()) return;
  int32_t seconds = 0;
  if (!readTime(seconds)) return;
  control<QProgressBar>(kProgress)->setRange(0, kWeighingSamples);
  if (!weigh(plate_, app_)) {
    showMessageBox(this, msg::kErrorInCommunication);
    return;
  }
  timer_.start();
  showState();
}

void CWeightDlg::onTick() {
  const WeighingTick t = weighing_.tick();
  control<QProgressBar>(kProgress)->setValue(t.progress);
  if (!t.ended) return;
  // A silent or lost plate ends the weighing with the status "Error" and Go offered again; the
  // message box is for a link that cannot start.
  timer_.stop();
  showState();
}

bool CWeightDlg::exchange() {
  // OK is offered only after a measurement; the keyboard's Enter reaches here too.
  if (!weighing_.okEnabled()) return false;
  int32_t seconds = 0;
  if (!readTime(seconds)) return false;
  app_.powerTestTime = seconds;
  return true;
}

void CWeightDlg::done(int result) {
  timer_.stop();
  weighing_.cancel();
  ControlDialog::done(result);
}

}  // namespace velkora
