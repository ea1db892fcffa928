#include "desktop/simulated_plate_menu.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>
#include <QWidgetAction>

#include "acquisition/simulated_plate.h"
#include "acquisition/simulated_subject.h"
#include "desktop/dialogs/simulated_subject_dlg.h"

namespace velkora {

SimulatedPlateMenu::SimulatedPlateMenu(SimulatedTransportFactory& simulation, QWidget* window)
    : QObject(window),
      simulation_(simulation),
      window_(window),
      menu_(new QMenu(QStringLiteral("Simulated &plate"), window)),
      summary_(new QWidgetAction(menu_)),
      subject_(new QAction(QStringLiteral("&Subject..."), menu_)),
      unplug_(new QAction(QStringLiteral("&Unplug"), menu_)),
      plugIn_(new QAction(QStringLiteral("Plug &in"), menu_)) {
  // A line to read, not a command.
  summaryLabel_ = new QLabel(menu_);
  summaryLabel_->setContentsMargins(8, 4, 8, 4);
  summaryLabel_->setEnabled(false);
  summary_->setDefaultWidget(summaryLabel_);
  menu_->addAction(summary_);
  menu_->addSeparator();
  menu_->addAction(subject_);
  menu_->addAction(unplug_);
  menu_->addAction(plugIn_);
  menu_->setAccessibleName(QStringLiteral("Simulated plate"));
  subject_->setStatusTip(QStringLiteral("Mass, pushes and jump of the simulated subject"));
  unplug_->setStatusTip(QStringLiteral("Pull the simulated plate's cable"));
  plugIn_->setStatusTip(QStringLiteral("Plug the simulated plate in again"));
  // A plan that names its scenarios plays them; the subject is not asked then.
  subject_->setEnabled(simulation.plan().followsPurpose);
  connect(subject_, &QAction::triggered, this, &SimulatedPlateMenu::editSubject);
  connect(unplug_, &QAction::triggered, this, [this] {
    simulation_.unplug();
    updateStates();
  });
  connect(plugIn_, &QAction::triggered, this, [this] {
    simulation_.plugIn();
    updateStates();
  });
  connect(menu_, &QMenu::aboutToShow, this, &SimulatedPlateMenu::updateStates);
  updateStates();
}

void SimulatedPlateMenu::updateStates() {
  // A plan that names its scenarios plays them instead of the subject.
  summary_->setText(simulation_.plan().followsPurpose
                        ? QStringLiteral("Subject: ") + QString::fromStdString(subjectSummary(simulation_.subject()))
                        : QStringLiteral("Playing the scenarios of the command line"));
  summaryLabel_->setText(summary_->text());
  const bool plugged = simulation_.plugged();
  unplug_->setEnabled(plugged);
  plugIn_->setEnabled(!plugged);
}

void SimulatedPlateMenu::editSubject() {
  SimulatedSubject subject = simulation_.subject();
  SimulatedSubjectDlg dialog(subject, window_);
  if (dialog.exec() == QDialog::Accepted) simulation_.setSubject(subject);
  updateStates();
}

}  // namespace velkora
