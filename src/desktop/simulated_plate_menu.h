#pragma once
// The "Simulated plate" menu of the program run with --simulate: the simulated subject's settings,
// shown on its first line and changed in a dialog, and unplugging and plugging in the plate to show
// what a lost plate does.

#include <QObject>

class QAction;
class QLabel;
class QMenu;
class QWidgetAction;
class QWidget;

namespace velkora {

class SimulatedTransportFactory;

class SimulatedPlateMenu final : public QObject {
  Q_OBJECT

 public:
  SimulatedPlateMenu(SimulatedTransportFactory& simulation, QWidget* window);

  QMenu* menu() const { return menu_; }
  QAction* subjectAction() const { return subject_; }
  QAction* unplugAction() const { return unplug_; }
  QAction* plugInAction() const { return plugIn_; }
  // The menu's first line: the simulated subject's settings as the next start uses them.
  QWidgetAction* summaryAction() const { return summary_; }

  // Runs the subject dialog; its values serve the next start of the link.
  void editSubject();
  void updateStates();

 private:
  SimulatedTransportFactory& simulation_;
  QWidget* window_;
  QMenu* menu_;
  QWidgetAction* summary_;
  QLabel* summaryLabel_;
  QAction* subject_;
  QAction* unplug_;
  QAction* plugIn_;
};

}  // namespace velkora
