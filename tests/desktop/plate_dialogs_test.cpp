// The dialogs of the plate: their texts, the unit that follows the mode, and the validation of
// every field with the decided ranges, the prompt in the fields' order and the focus on the failure.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include "acquisition/plate_devices.h"
#include "app/program_records.h"
#include "desktop/dialogs/simulated_subject_dlg.h"
#include "desktop/plate_fixture.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::press;
using testing::type;

struct Pressed {
  std::vector<std::string> messages;
  QWidget* focus = nullptr;
  bool accepted = false;
};

// Presses a button of a shown dialog and answers the message boxes it raises with OK.
Pressed pressAndAnswer(ControlDialog& dialog, int32_t button) {
  Pressed p;
  dialog.show();
  ModalScript script;
  script.answer(QMessageBox::Ok).answer(QMessageBox::Ok);
  press(&dialog, button);
  p.messages = script.messages;
  p.focus = dialog.focusWidget();
  p.accepted = dialog.result() == QDialog::Accepted;
  return p;
}

TEST(PerformDialog, TheUnitFollowsTheModeOnlyWhenTheFieldsAreGood) {
  AppSettings app;
  PerformDlg dialog(app);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Perform dialog");
  EXPECT_EQ(dialog.control<QRadioButton>(PerformDlg::kTime)->text(), "Time");
  EXPECT_EQ(dialog.control<QRadioButton>(PerformDlg::kRepetitions)->text(), "Number of repetions");
  EXPECT_TRUE(dialog.control<QRadioButton>(PerformDlg::kTime)->isChecked());
  EXPECT_EQ(testing::lineText(&dialog, PerformDlg::kValue), "10");
  EXPECT_EQ(testing::lineText(&dialog, PerformDlg::kStartForce), "20");
  EXPECT_EQ(dialog.control<QLabel>(PerformDlg::kUnit)->text(), "(s)");
  EXPECT_EQ(dialog.focusWidget(), dialog.control(PerformDlg::kValue));
  testing::saveGrab(dialog, "perform_dialog");

  EXPECT_TRUE(pressAndAnswer(dialog, PerformDlg::kRepetitions).messages.empty());
  EXPECT_EQ(dialog.control<QLabel>(PerformDlg::kUnit)->text(), "(#)");
  type(&dialog, PerformDlg::kValue, "40");
  EXPECT_TRUE(pressAndAnswer(dialog, PerformDlg::kTime).messages.empty());
  EXPECT_EQ(dialog.control<QLabel>(PerformDlg::kUnit)->text(), "(s)");
  // 40 repetitions are more than the table holds: refused, and the unit stays.
  const Pressed p = pressAndAnswer(dialog, PerformDlg::kRepetitions);
  EXPECT_EQ(p.messages, std::vector<std::string>{"Please enter an integer between 1 and 25."});
  EXPECT_EQ(p.focus, dialog.control(PerformDlg::kValue));
  EXPECT_EQ(dialog.control<QLabel>(PerformDlg::kUnit)->text(), "(s)");
  press(&dialog, kIdCancel);
  EXPECT_EQ(app.forceTestValue, 10) << "Cancel changes nothing";
  EXPECT_EQ(app.forceTestMode, 0);
}

TEST(PerformDialog, ValuesAreCheckedWithTheRangeOfTheirMode) {
  struct Case {
    int32_t mode;
    const char* value;
    const char* startForce;
    const char* message;  // empty: accepted
    int32_t focused;
  };
  const Case cases[] = {
      {0, "61", "20", "Please enter an integer between 1 and 60.", PerformDlg::kValue},
      {0, "0", "20", "Please enter an integer between 1 and 60.", PerformDlg::kValue},
      {1, "26", "20", "Please enter an integer between 1 and 25.", PerformDlg::kValue},
      {1, "0", "20", "Please enter an integer between 1 and 25.", PerformDlg::kValue},
      {0, "ten", "20", "Please enter an integer.", PerformDlg::kValue},
      {0, "70", "-1", "Please enter an integer between 1 and 60.", PerformDlg::kValue},
      {0, "10", "6001", "Please enter an integer between 0 and 6000.", PerformDlg::kStartForce},
      {1, "5", "", "Please enter an integer.", PerformDlg::kStartForce},
      {0, "60", "0", "", 0},
      {0, "1", "6000", "", 0},
      {1, "25", "100", "", 0},
      {1, "1", "20", "", 0},
  };
  for (const Case& c : cases) {
    AppSettings app;
    PerformDlg dialog(app);
    dialog.show();
    press(&dialog, c.mode == 1 ? PerformDlg::kRepetitions : PerformDlg::kTime);
    type(&dialog, PerformDlg::kValue, QString::fromLatin1(c.value));
    type(&dialog, PerformDlg::kStartForce, QString::fromLatin1(c.startForce));
    const Pressed p = pressAndAnswer(dialog, kIdOk);
    const std::string label = std::to_string(c.mode) + " " + c.value + " " + c.startForce;
    if (*c.message != '\0') {
      EXPECT_EQ(p.messages, std::vector<std::string>{c.message}) << label;
      EXPECT_EQ(p.focus, dialog.control(c.focused)) << label;
      EXPECT_FALSE(p.accepted) << label;
      EXPECT_EQ(app.forceTestValue, 10) << label;
    } else {
      EXPECT_TRUE(p.messages.empty()) << label;
      EXPECT_TRUE(p.accepted) << label;
      EXPECT_EQ(app.forceTestMode, c.mode) << label;
      EXPECT_EQ(app.forceTestValue, std::atoi(c.value)) << label;
      EXPECT_EQ(app.startForce, std::atoi(c.startForce)) << label;
    }
  }
}

// The Power dialog and the calibration on a plate of their own that nobody answers.
struct QuietPlate {
  std::unique_ptr<ProgramRecords> records = std::make_unique<ProgramRecords>();
  ProgramPlate program{
      records->shared(),
      std::make_unique<PlateSystem>(
          records->calibration, records->store.repetitions, testing::simulated("silent").simulation,
          std::make_unique<SystemTransportFactory>(PlateDevicePaths{.serialPortPrefix = "/nonexistent/"}))};
  PlateSystem& plate = program.system();
  AppSettings& app = records->app;
};

TEST(PowerDialog, TimeIsAnIntegerFromOneTo61BeforeAnythingStarts) {
  struct Case {
    const char* time;
    const char* message;
  };
  const Case cases[] = {{"62", "Please enter an integer between 1 and 61."},
                        {"0", "Please enter an integer between 1 and 61."},
                        {"-3", "Please enter an integer between 1 and 61."},
                        {"3 s", "Please enter an integer."}};
  for (const Case& c : cases) {
    QuietPlate q;
    CWeightDlg dialog(q.program, q.app);
    type(&dialog, CWeightDlg::kTime, QString::fromLatin1(c.time));
    const Pressed p = pressAndAnswer(dialog, CWeightDlg::kGo);
    EXPECT_EQ(p.messages, std::vector<std::string>{c.message}) << c.time;
    EXPECT_EQ(p.focus, dialog.control(CWeightDlg::kTime)) << c.time;
    EXPECT_FALSE(q.plate.running()) << c.time;
    EXPECT_EQ(testing::lineText(&dialog, CWeightDlg::kStatus), "Not done") << c.time;
    EXPECT_TRUE(dialog.control(CWeightDlg::kGo)->isEnabled()) << c.time;
  }
  // 61 starts the weighing; closing the dialog stops the link.
  QuietPlate q;
  {
    CWeightDlg dialog(q.program, q.app);
    type(&dialog, CWeightDlg::kTime, "61");
    EXPECT_TRUE(pressAndAnswer(dialog, CWeightDlg::kGo).messages.empty());
    EXPECT_TRUE(q.plate.running());
    EXPECT_EQ(testing::lineText(&dialog, CWeightDlg::kStatus), "In progress");
    press(&dialog, kIdCancel);
    EXPECT_FALSE(q.plate.running());
  }
  EXPECT_EQ(q.app.powerTestTime, 5) << "Cancel keeps the time";
}

// A plate that is there but sends nothing: each dialog says "Error" in its status with no message box
// (that is for a link that cannot start), and offers what may be done next.
TEST(PowerDialog, APlateThatFallsSilentEndsTheWeighingWithErrorAndGoIsOfferedAgain) {
  QuietPlate q;
  CWeightDlg dialog(q.program, q.app);
  dialog.show();
  ModalScript noBox;  // any message box lands in noBox.unexpected
  noBox.then([&dialog](QWidget* w) { EXPECT_EQ(w, &dialog); });
  press(&dialog, CWeightDlg::kGo);
  ASSERT_EQ(testing::lineText(&dialog, CWeightDlg::kStatus), "In progress");
  EXPECT_FALSE(dialog.control(CWeightDlg::kGo)->isEnabled());
  ASSERT_TRUE(testing::waitUntil([&] { return testing::lineText(&dialog, CWeightDlg::kStatus) == "Error"; }, 8000));
  QTest::qWait(100);
  EXPECT_TRUE(noBox.unexpected.empty()) << noBox.unexpected.front();
  EXPECT_TRUE(dialog.control(CWeightDlg::kGo)->isEnabled());
  EXPECT_FALSE(dialog.control(kIdOk)->isEnabled());
  EXPECT_FALSE(q.plate.running());
}

TEST(CalibrationDialog, ASilentPlateEndsTheStepWithErrorAfterItsFiftyTicks) {
  QuietPlate q;
  CCalibDlg dialog(q.program);
  dialog.show();
  ModalScript noBox;
  noBox.then([&dialog](QWidget* w) { EXPECT_EQ(w, &dialog); });
  QElapsedTimer clock;
  clock.start();
  press(&dialog, CCalibDlg::kOffsetGo);
  ASSERT_EQ(testing::lineText(&dialog, CCalibDlg::kOffsetResult), "In progress");
  ASSERT_TRUE(
      testing::waitUntil([&] { return testing::lineText(&dialog, CCalibDlg::kOffsetResult) != "In progress"; }, 8000));
  const qint64 elapsed = clock.elapsed();
  QTest::qWait(100);
  EXPECT_EQ(testing::lineText(&dialog, CCalibDlg::kOffsetResult), "Error");
  // 51 ticks of 50 ms, not the link's one second of silence.
  EXPECT_GE(elapsed, 2400);
  EXPECT_LT(elapsed, 4500);
  EXPECT_TRUE(noBox.unexpected.empty()) << noBox.unexpected.front();
  EXPECT_EQ(dialog.control<QProgressBar>(CCalibDlg::kProgress)->value(), 0);
  EXPECT_TRUE(dialog.control(CCalibDlg::kOffsetGo)->isEnabled()) << "the offset step can be repeated at once";
  EXPECT_FALSE(dialog.control(kIdOk)->isEnabled());
  EXPECT_FALSE(q.plate.running());
}

TEST(SimulatedSubjectDialog, FieldsKeepTheSimulationsLimits) {
  struct Case {
    int32_t field;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {SimulatedSubjectDlg::kMass, "19", "Please enter an integer between 20 and 200."},
      {SimulatedSubjectDlg::kPushCount, "0", "Please enter an integer between 1 and 100."},
      {SimulatedSubjectDlg::kPushForce, "3901", "Please enter an integer between 1 and 3900."},
      {SimulatedSubjectDlg::kPushLength, "1", "Please enter an integer between 2 and 10000."},
      {SimulatedSubjectDlg::kFlightTime, "1001", "Please enter an integer between 50 and 1000."},
  };
  for (const Case& c : cases) {
    SimulatedSubject subject;
    SimulatedSubjectDlg dialog(subject);
    type(&dialog, c.field, QString::fromLatin1(c.text));
    const Pressed p = pressAndAnswer(dialog, kIdOk);
    EXPECT_EQ(p.messages, std::vector<std::string>{c.message}) << c.field;
    EXPECT_EQ(p.focus, dialog.control(c.field)) << c.field;
    EXPECT_EQ(subject.mass, 75.0) << "nothing changes";
  }
  SimulatedSubject subject;
  SimulatedSubjectDlg dialog(subject);
  EXPECT_EQ(testing::lineText(&dialog, SimulatedSubjectDlg::kFlightTime), "450");
  type(&dialog, SimulatedSubjectDlg::kMass, "200");
  type(&dialog, SimulatedSubjectDlg::kPushCount, "25");
  type(&dialog, SimulatedSubjectDlg::kFlightTime, "50");
  EXPECT_TRUE(pressAndAnswer(dialog, kIdOk).accepted);
  EXPECT_EQ(subject.mass, 200.0);
  EXPECT_EQ(subject.pushCount, 25);
  EXPECT_EQ(subject.flightTime, 50);
  EXPECT_TRUE(subjectWithinLimits(subject));
}

}  // namespace
}  // namespace velkora
