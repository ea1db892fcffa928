#pragma once
// The simulated plate's subject: body mass, the pushes of a force test and the flight time of a
// power test's jump. The values take effect at the next start of the plate link.

#include "acquisition/simulated_subject.h"
#include "desktop/dialogs/control_dialog.h"

namespace velkora {

class SimulatedSubjectDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kMass = 1001;
  static constexpr int32_t kPushCount = 1002;
  static constexpr int32_t kPushForce = 1003;
  static constexpr int32_t kPushLength = 1004;
  static constexpr int32_t kFlightTime = 1005;

  SimulatedSubjectDlg(SimulatedSubject& subject, QWidget* parent = nullptr);

 protected:
  bool exchange() override;

 private:
  SimulatedSubject& subject_;
};

}  // namespace velkora
