// The view on screen: the curve bar's buttons, the keyboard and the mouse reach the view's rules,
// the bar graph pages, and a stray interval change is reported.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "desktop/dialog_bar.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto recording = testing::forceRecording(5000);
    StartOptions options;
    options.file = testing::saveRecording(*recording, fixture.root.file("f.vkr"));
    fixture.start(options);
  }
  CMainFrame& frame() { return *fixture.app->mainFrame(); }
  CVelkoraView& view() { return *frame().view(); }
  ViewState& state() { return view().state(); }
  void click(int32_t command) {
    QPushButton* b = frame().dialogBar()->button(command);
    ASSERT_NE(b, nullptr) << command;
    b->click();
  }

  UiFixture fixture;
};

TEST_F(ViewTest, CurveBarButtonsStepZoomAndReturnToTheWholeRecording) {
  ASSERT_EQ(state().displayMode, DisplayMode::CurveGraph);
  for (int i = 0; i < 3; ++i) click(cmd::kCursorLeftRight);
  click(cmd::kCursorLeftLeft);
  for (int i = 0; i < 2; ++i) click(cmd::kCursorRightLeft);
  click(cmd::kCursorRightRight);
  EXPECT_EQ(state().cursorLeft, 2);
  EXPECT_EQ(state().cursorRight, 4999);
  click(cmd::kZoom);
  EXPECT_EQ(state().sampleWindowStart, 2);
  EXPECT_EQ(state().sampleWindowEnd, 4999);
  // "Curve graph" while it is shown keeps the zoom; "Full" brings back the whole recording.
  frame().action(cmd::kCurveGraph)->trigger();
  EXPECT_EQ(state().sampleWindowStart, 2);
  click(cmd::kFullWindow);
  EXPECT_EQ(state().sampleWindowStart, 0);
  EXPECT_EQ(state().sampleWindowEnd, 5000);
  EXPECT_EQ(state().cursorRight, 5000);
  for (int32_t id : {cmd::kZoom, cmd::kFullWindow, cmd::kCursorLeftLeft, cmd::kCursorLeftRight, cmd::kCursorRightLeft,
                     cmd::kCursorRightRight}) {
    EXPECT_FALSE(frame().dialogBar()->button(id)->accessibleName().isEmpty()) << id;
  }
  EXPECT_EQ(frame().dialogBar()->button(cmd::kCursorRightLeft)->accessibleName().toStdString(), "XR <<");
}

TEST_F(ViewTest, KeysStepTheCursorsAndEnterZooms) {
  QTest::keyClick(&view(), Qt::Key_Right);
  QTest::keyClick(&view(), Qt::Key_Right);
  QTest::keyClick(&view(), Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(state().cursorLeft, 2);
  EXPECT_EQ(state().cursorRight, 4999);
  QTest::keyClick(&view(), Qt::Key_Return);
  EXPECT_EQ(state().sampleWindowStart, 2);
  EXPECT_EQ(state().sampleWindowEnd, 4999);
  // In the bar graph Left and Right page the repetitions as << and >> do, and leave the cursors.
  frame().sendCommand(cmd::kBarGraph);
  QTest::keyClick(&view(), Qt::Key_Right);
  QTest::keyClick(&view(), Qt::Key_Right);
  EXPECT_EQ(state().selectedRepetition, 2);
  QTest::keyClick(&view(), Qt::Key_Left);
  EXPECT_EQ(state().selectedRepetition, 1);
  EXPECT_EQ(state().cursorLeft, 2);
}

TEST_F(ViewTest, ClicksPlaceTheCursorsWithTheScaleOfTheLatestDrawing) {
  view().resize(760, 480);
  ASSERT_TRUE(testing::waitUntil([this] { return view().canvas().size() == view().size(); }));
  // The window 0 .. 5000 drawn into the plot of a 760 x 480 view.
  const CurveScales& drawn = state().curveScales;
  const Rect plot = view().layout().plotArea;
  ASSERT_EQ(drawn.plot, plot);
  ASSERT_DOUBLE_EQ(drawn.xScale, static_cast<double>(plot.right - plot.left) / 5000);
  const auto xOf = [&](int32_t sample) { return plot.left + truncateToInt(sample * drawn.xScale); };
  const int y = (plot.top + plot.bottom) / 2;
  QTest::mouseClick(&view(), Qt::LeftButton, {}, QPoint(xOf(1000), y));
  EXPECT_EQ(*sampleAtPoint(drawn, {xOf(1000), y}), state().cursorLeft);
  EXPECT_NEAR(state().cursorLeft, 1000, 1.0 / drawn.xScale);
  QTest::mouseClick(&view(), Qt::RightButton, {}, QPoint(xOf(3000), y));
  EXPECT_NEAR(state().cursorRight, 3000, 1.0 / drawn.xScale);
  const int32_t right = state().cursorRight;
  QTest::mouseClick(&view(), Qt::RightButton, {}, QPoint(xOf(500), y));
  EXPECT_EQ(state().cursorRight, right) << "XR never goes left of XL";
  QTest::mouseClick(&view(), Qt::LeftButton, {}, QPoint(xOf(2000), plot.top - 1));
  EXPECT_NEAR(state().cursorLeft, 1000, 1.0 / drawn.xScale) << "above the plot";
}

TEST_F(ViewTest, TheBarGraphPagesWithinTheRepetitions) {
  frame().sendCommand(cmd::kBarGraph);
  ASSERT_EQ(frame().shownBar(), cmd::kRepetitionBar);
  EXPECT_EQ(state().displayMode, DisplayMode::BarGraph);
  for (int i = 0; i < 4; ++i) click(cmd::kNextRepetition);
  EXPECT_EQ(state().selectedRepetition, 2);
  for (int i = 0; i < 4; ++i) click(cmd::kPreviousRepetition);
  EXPECT_EQ(state().selectedRepetition, 0);
  // A click on a bar the latest drawing placed selects it.
  ASSERT_TRUE(testing::waitUntil([this] { return state().barScales.bars == 3; }));
  const Rect bar = state().barScales.hitRects[1];
  const QPoint onBar((bar.left + bar.right) / 2, (bar.top + bar.bottom) / 2);
  QTest::mouseClick(&view(), Qt::LeftButton, {}, onBar);
  EXPECT_EQ(state().selectedRepetition, 1);
  const Rect other = state().barScales.hitRects[2];
  QTest::mouseClick(&view(), Qt::RightButton, {}, QPoint((other.left + other.right) / 2, other.bottom - 1));
  EXPECT_EQ(state().selectedRepetition, 1) << "the right button selects nothing";
}

TEST_F(ViewTest, AnIntervalChangeOutsideTheReportsIsAnInternalError) {
  ModalScript script;
  script.answer(QMessageBox::Ok);
  view().onListSelection(cmd::kIntervalList, 3);
  EXPECT_EQ(script.messages, std::vector<std::string>{"Internal error: nInterv"});
  EXPECT_EQ(state().displayMode, DisplayMode::CurveGraph);
  EXPECT_EQ(view().reportList()->rowCount(), 0);
}

TEST_F(ViewTest, GraphSetupRedrawsWhateverTheDialogReturnsAndResetEmptiesTheView) {
  // The backing image is painted again after the dialog, even when it was cancelled.
  ASSERT_TRUE(testing::waitUntil([this] { return !view().canvas().isNull(); }));
  QCoreApplication::processEvents();
  const qint64 before = view().canvas().cacheKey();
  QCoreApplication::processEvents();
  EXPECT_EQ(view().canvas().cacheKey(), before) << "no repaint without a change";
  ModalScript script;
  script.then([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
  frame().sendCommand(cmd::kGraphSetup);
  EXPECT_TRUE(script.done());
  EXPECT_TRUE(testing::waitUntil([&] { return view().canvas().cacheKey() != before; }));

  frame().sendCommand(cmd::kDigitalReport);
  EXPECT_TRUE(view().reportList()->isVisible());
  frame().sendCommand(cmd::kResetView);
  EXPECT_EQ(state().displayMode, DisplayMode::Empty);
  EXPECT_EQ(frame().shownBar(), 0);
  EXPECT_FALSE(view().reportList()->isVisible());
  EXPECT_EQ(view().reportList()->geometry(), QRect(0, 0, 0, 0));
}

// On a screen of 800 x 600 the window fits, and its curve bar and report bar show every control whole,
// every entry of the parameter lists uncut.
TEST_F(ViewTest, TheBarsFitAWindowOfEightHundredBySixHundred) {
  frame().resize(800, 600);
  frame().show();
  for (const int32_t mode : {cmd::kCurveGraph, cmd::kDigitalReport}) {
    SCOPED_TRACE(mode);
    frame().sendCommand(mode);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame().width(), 800);
    DialogBar* bar = frame().dialogBar();
    ASSERT_NE(bar, nullptr);
    for (const QWidget* control : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(bar->rect().contains(control->geometry())) << control->accessibleName().toStdString();
      // Buttons have the fixed width of their text; lists and labels need their size hint.
      const int needed = control->minimumWidth() > 0 ? control->minimumWidth() : control->sizeHint().width();
      EXPECT_GE(control->width(), needed) << control->accessibleName().toStdString();
    }
  }
  frame().sendCommand(cmd::kCurveGraph);
  QCoreApplication::processEvents();
  for (const int32_t id : {cmd::kY1List, cmd::kY2List}) {
    QComboBox* list = frame().dialogBar()->list(id);
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    for (int entry = 0; entry < list->count(); ++entry)
      EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(entry)), field.width())
          << list->itemText(entry).toStdString();
  }
}

TEST_F(ViewTest, TheReportListGrowsWithTheViewFromItsLeastRectangle) {
  frame().sendCommand(cmd::kDigitalReport);
  CforceList& list = *view().reportList();
  EXPECT_EQ(list.geometry().topLeft(), QPoint(10, 50));
  EXPECT_GE(list.width(), 720);
  EXPECT_GE(list.height(), 330);
  frame().resize(1200, 900);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.width(), view().width() - 20);
  EXPECT_EQ(list.geometry().bottom(), view().height() - 21);
}

}  // namespace
}  // namespace velkora
