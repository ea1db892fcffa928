#include "desktop/simulated_plate_menu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "acquisition/simulated_plate.h"
#include "desktop/dialogs/simulated_subject_dlg.h"

namespace velkora {

SimulatedPlateMenu::SimulatedPlateMenu(SimulatedTransportFactory& simulation, QWidget* window)
    : QObject(window),
      simulation_(simulation),
      window_(window),
      menu_(new QMenu(QStringLiteral("Simulated &plate"), window)),
      subject_(menu_->addAction(QStringLiteral("&Subject..."))),
      unplug_(menu_->addAction(QStringLiteral("&Unplug"))),
      plugIn_(menu_->addAction(QStringLiteral("Plug &in"))) {
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
  const bool plugged = simulation_.plugged();
  unplug_->setEnabled(plugged);
  plugIn_->setEnabled(!plugged);
}

void SimulatedPlateMenu::editSubject() {
  SimulatedSubject subject = simulation_.subject();
  SimulatedSubjectDlg dialog(subject, window_);
  if (dialog.exec() == QDialog::Accepted) simulation_.setSubject(subject);
}

}  // namespace velkora
