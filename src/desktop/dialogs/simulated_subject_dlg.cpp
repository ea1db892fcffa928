#include "desktop/dialogs/simulated_subject_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cmath>

#include "desktop/dialogs/data_exchange.h"

namespace velkora {
namespace {

struct Field {
  int32_t id;
  const char* label;
  Range range;
};

// In the order the fields are shown and checked; the ranges are the simulation's own limits.
constexpr Field kFields[] = {
    {SimulatedSubjectDlg::kMass,
     "Body mass (kg):",
     {static_cast<int32_t>(kSubjectLimits.minMass), static_cast<int32_t>(kSubjectLimits.maxMass)}},
    {SimulatedSubjectDlg::kPushCount,
     "Pushes in a force test:",
     {kSubjectLimits.minPushCount, kSubjectLimits.maxPushCount}},
    {SimulatedSubjectDlg::kPushForce,
     "Push force (N):",
     {static_cast<int32_t>(kSubjectLimits.minPushForce), static_cast<int32_t>(kSubjectLimits.maxPushForce)}},
    {SimulatedSubjectDlg::kPushLength,
     "Push length (ms):",
     {kSubjectLimits.minPushLength, kSubjectLimits.maxPushLength}},
    {SimulatedSubjectDlg::kFlightTime,
     "Jump flight time (ms):",
     {kSubjectLimits.minFlightTime, kSubjectLimits.maxFlightTime}},
};

}  // namespace

SimulatedSubjectDlg::SimulatedSubjectDlg(SimulatedSubject& subject, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Simulated subject")), subject_(subject) {
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  column->addLayout(form);
  const int32_t values[] = {static_cast<int32_t>(std::lround(subject.mass)), subject.pushCount,
                            static_cast<int32_t>(std::lround(subject.pushForce)), subject.pushLength,
                            subject.flightTime};
  for (size_t i = 0; i < std::size(kFields); ++i) {
    const QString label = QString::fromLatin1(kFields[i].label);
    auto* edit = add(kFields[i].id, new QLineEdit(this), label);
    edit->setAlignment(Qt::AlignRight);
    edit->setText(QString::number(values[i]));
    form->addRow(label, edit);
  }
  column->addWidget(addOkCancel());
  control(kMass)->setFocus(Qt::OtherFocusReason);
}

bool SimulatedSubjectDlg::exchange() {
  int32_t values[std::size(kFields)] = {};
  DataExchange dx(this);
  for (size_t i = 0; i < std::size(kFields); ++i)
    dx.integerInRange(control<QLineEdit>(kFields[i].id), kFields[i].range, values[i]);
  if (!dx.ok()) return false;
  subject_.mass = values[0];
  subject_.pushCount = values[1];
  subject_.pushForce = values[2];
  subject_.pushLength = values[3];
  subject_.flightTime = values[4];
  return true;
}

}  // namespace velkora
