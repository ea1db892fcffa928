// The Subject, Y-axes and About dialogs: their fields, the validation prompts in their order,
// focus on the failing field, OK and Cancel.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "desktop/dialogs/about_dlg.h"
#include "desktop/dialogs/subject_dlg.h"
#include "desktop/dialogs/yaxes_dlg.h"
#include "desktop/ui_fixture.h"
#include "model/settings.h"
#include "model/subject_info.h"
#include "storage/configuration_file.h"

namespace velkora {
namespace {

using testing::ModalScript;

QLineEdit* edit(ControlDialog& d, int32_t id) { return d.control<QLineEdit>(id); }

// Presses OK on a shown dialog and returns the message boxes it raised (answered with OK) and the
// id of the field that has the focus afterwards (0 when the dialog closed).
struct OkResult {
  std::vector<std::string> messages;
  QWidget* focus = nullptr;
  bool accepted = false;
};
OkResult pressOk(ControlDialog& dialog) {
  OkResult result;
  dialog.show();
  ModalScript script;
  script.answer(QMessageBox::Ok);
  dialog.control<QPushButton>(kIdOk)->click();
  result.messages = script.messages;
  result.focus = dialog.focusWidget();
  result.accepted = dialog.result() == QDialog::Accepted;
  return result;
}

TEST(SubjectDialog, FirstOpeningShowsTheStartValues) {
  SubjectInfo subject;
  CSubjectDlg dialog(subject);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Subject dialog");
  EXPECT_EQ(edit(dialog, CSubjectDlg::kName)->text(), "");
  for (int32_t id : {CSubjectDlg::kAge, CSubjectDlg::kWeight, CSubjectDlg::kHeight})
    EXPECT_EQ(edit(dialog, id)->text(), "0");
  EXPECT_TRUE(dialog.control<QRadioButton>(CSubjectDlg::kFemale)->isChecked());
  EXPECT_FALSE(dialog.control<QRadioButton>(CSubjectDlg::kMale)->isChecked());
  EXPECT_EQ(edit(dialog, CSubjectDlg::kAge)->alignment(), Qt::AlignCenter);
  EXPECT_EQ(dialog.focusWidget(), edit(dialog, CSubjectDlg::kName));
  testing::saveGrab(dialog, "subject");
  for (int32_t id : {CSubjectDlg::kName, CSubjectDlg::kAge, CSubjectDlg::kComment3, CSubjectDlg::kMale, kIdOk})
    EXPECT_FALSE(dialog.control(id)->accessibleName().isEmpty()) << id;
}

TEST(SubjectDialog, FieldsAreValidatedInTheirOrderAndTheFirstFailureHasTheFocus) {
  struct Case {
    std::vector<std::pair<int32_t, std::string>> typed;
    std::string message;
    int32_t focused;
  };
  const std::string tooLong(67, 'x');
  const Case cases[] = {
      {{{CSubjectDlg::kName, tooLong}, {CSubjectDlg::kAge, "131"}},
       "Please enter no more than 66 characters.",
       CSubjectDlg::kName},
      {{{CSubjectDlg::kAge, "131"}, {CSubjectDlg::kWeight, "201"}},
       "Please enter an integer between 0 and 130.",
       CSubjectDlg::kAge},
      {{{CSubjectDlg::kWeight, "201"}, {CSubjectDlg::kHeight, ""}},
       "Please enter an integer between 0 and 200.",
       CSubjectDlg::kWeight},
      {{{CSubjectDlg::kHeight, ""}}, "Please enter an integer.", CSubjectDlg::kHeight},
      {{{CSubjectDlg::kHeight, "301"}}, "Please enter an integer between 0 and 300.", CSubjectDlg::kHeight},
      {{{CSubjectDlg::kComment3, tooLong}, {CSubjectDlg::kComment2, tooLong}},
       "Please enter no more than 66 characters.",
       CSubjectDlg::kComment3},
      {{{CSubjectDlg::kComment2, tooLong}, {CSubjectDlg::kComment1, tooLong}},
       "Please enter no more than 66 characters.",
       CSubjectDlg::kComment1},
      {{{CSubjectDlg::kComment2, tooLong}}, "Please enter no more than 66 characters.", CSubjectDlg::kComment2},
  };
  for (const Case& c : cases) {
    SubjectInfo subject;
    subject.name = "Before";
    CSubjectDlg dialog(subject);
    for (const auto& [id, text] : c.typed) edit(dialog, id)->setText(QString::fromStdString(text));
    const OkResult r = pressOk(dialog);
    EXPECT_EQ(r.messages, std::vector<std::string>{c.message}) << c.typed.front().first;
    EXPECT_EQ(r.focus, dialog.control(c.focused)) << c.typed.front().first;
    EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open";
    EXPECT_EQ(subject.name, "Before") << "nothing changes";
  }
}

TEST(SubjectDialog, OkCopiesEveryFieldAndCancelNothing) {
  SubjectInfo subject;
  subject.sex = -1;  // from a loaded file
  subject.age = 40;
  {
    CSubjectDlg dialog(subject);
    EXPECT_FALSE(dialog.control<QRadioButton>(CSubjectDlg::kFemale)->isChecked());
    EXPECT_FALSE(dialog.control<QRadioButton>(CSubjectDlg::kMale)->isChecked());
    edit(dialog, CSubjectDlg::kName)->setText(QString::fromUtf8("Šárka Nováková"));
    const OkResult r = pressOk(dialog);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_TRUE(r.accepted);
  }
  EXPECT_EQ(subject.sex, -1) << "OK without a choice keeps none";
  EXPECT_EQ(subject.name, "Šárka Nováková");
  EXPECT_EQ(subject.age, 40);

  {
    CSubjectDlg dialog(subject);
    const std::pair<int32_t, const char*> typed[] = {{CSubjectDlg::kAge, "130"},     {CSubjectDlg::kWeight, "200"},
                                                     {CSubjectDlg::kHeight, "300"},  {CSubjectDlg::kComment1, "c1"},
                                                     {CSubjectDlg::kComment2, "c2"}, {CSubjectDlg::kComment3, "c3"}};
    for (const auto& [id, text] : typed) edit(dialog, id)->setText(QString::fromUtf8(text));
    dialog.control<QRadioButton>(CSubjectDlg::kMale)->click();
    EXPECT_TRUE(pressOk(dialog).accepted);
  }
  EXPECT_EQ(subject.sex, 1);
  EXPECT_EQ(subject.age, 130);
  EXPECT_EQ(subject.weight, 200);
  EXPECT_EQ(subject.height, 300);
  EXPECT_EQ(subject.comment1, "c1");
  EXPECT_EQ(subject.comment2, "c2");
  EXPECT_EQ(subject.comment3, "c3");

  const SubjectInfo before = subject;
  CSubjectDlg dialog(subject);
  edit(dialog, CSubjectDlg::kName)->setText("Someone else");
  edit(dialog, CSubjectDlg::kAge)->setText("5");
  dialog.control<QRadioButton>(CSubjectDlg::kFemale)->click();
  dialog.show();
  dialog.control<QPushButton>(kIdCancel)->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(subject.name, before.name);
  EXPECT_EQ(subject.age, before.age);
  EXPECT_EQ(subject.sex, before.sex);
}

TEST(AxesDialog, OkWithoutEditsKeepsEveryValue) {
  GraphSettings graph;
  graph.axisMin[5] = -7;
  graph.axisStep[6] = 99;
  graph.y2Parameter = 4;
  const GraphSettings before = graph;
  CYaxesDlg dialog(graph);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Y-axes settings & Graph options");
  EXPECT_EQ(edit(dialog, 1003)->text(), "2000");
  EXPECT_EQ(edit(dialog, 1017)->text(), "-2000");
  EXPECT_EQ(edit(dialog, 1029)->text(), "-7");
  EXPECT_EQ(edit(dialog, 1022)->alignment(), Qt::AlignCenter);
  dialog.show();
  testing::saveGrab(dialog, "axes");
  EXPECT_TRUE(pressOk(dialog).accepted);
  EXPECT_EQ(encodeConfiguration(AppSettings{}, CalibrationSet{}, graph),
            encodeConfiguration(AppSettings{}, CalibrationSet{}, before));
}

TEST(AxesDialog, EntriesAreCheckedInOrderAndARangeMustBeOpen) {
  struct Case {
    std::vector<std::pair<int32_t, const char*>> typed;
    std::string message;
    int32_t focused;
  };
  const Case cases[] = {
      {{{1002, "abc"}}, "Please enter an integer.", 1002},
      {{{1019, ""}, {1020, "x"}}, "Please enter an integer.", 1019},
      {{{1021, "1.5"}, {1031, ""}}, "Please enter an integer.", 1021},
      {{{1031, ""}}, "Please enter an integer.", 1031},
      {{{1002, "2000"}}, "The maximum must be greater than the minimum.", 1003},
      {{{1026, "60"}, {1017, "2500"}}, "The maximum must be greater than the minimum.", 1018},
  };
  for (const Case& c : cases) {
    GraphSettings graph;
    CYaxesDlg dialog(graph);
    for (const auto& [id, text] : c.typed) edit(dialog, id)->setText(QString::fromUtf8(text));
    const OkResult r = pressOk(dialog);
    EXPECT_EQ(r.messages, std::vector<std::string>{c.message}) << c.typed.front().first;
    EXPECT_EQ(r.focus, dialog.control(c.focused)) << c.typed.front().first;
    EXPECT_EQ(graph.axisMin[0], 0);
    EXPECT_EQ(graph.axisMin[1], -2000);
  }
}

TEST(AxesDialog, NewValuesAreTakenOnOkOnly) {
  GraphSettings graph;
  {
    CYaxesDlg dialog(graph);
    edit(dialog, 1002)->setText("-500");
    edit(dialog, 1004)->setText("0");
    edit(dialog, 1030)->setText("5000");
    EXPECT_TRUE(pressOk(dialog).accepted);
  }
  EXPECT_EQ(graph.axisMin[0], -500);
  EXPECT_EQ(graph.axisStep[0], 0);
  EXPECT_EQ(graph.axisMax[5], 5000);
  CYaxesDlg dialog(graph);
  edit(dialog, 1002)->setText("-900");
  dialog.show();
  dialog.control<QPushButton>(kIdCancel)->click();
  EXPECT_EQ(graph.axisMin[0], -500);
}

TEST(AboutBox, TitleTextsAndPicture) {
  CAboutDlg dialog;
  dialog.show();
  testing::saveGrab(dialog, "about");
  EXPECT_EQ(dialog.windowTitle().toStdString(), "About Orvel_Velkora");
  std::vector<std::string> texts;
  bool picture = false;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) picture = true;
    if (!label->text().isEmpty()) texts.push_back(label->text().toStdString());
  }
  EXPECT_TRUE(picture);
  EXPECT_EQ(texts, (std::vector<std::string>{"Velkora ", "ver 1.1"}));
  EXPECT_NE(dialog.control<QPushButton>(kIdOk), nullptr);
  EXPECT_EQ(dialog.control(kIdCancel), nullptr);
}

}  // namespace
}  // namespace velkora
