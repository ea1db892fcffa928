// Timing of live tests in real time on the simulated plate, run by hand (it takes about 90 s):
//   velkora_ui_tests --gtest_also_run_disabled_tests --gtest_filter='LiveTestTiming.*'
// It prints the longest live tick (the session's tick and its drawing) and the longest time the event
// loop went without running a 1 ms watchdog timer, which is how long a tick or a repaint blocked it.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "desktop/plate_fixture.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::PlateFixture;
using testing::press;
using testing::type;
using testing::waitUntil;

struct Timing {
  int64_t ticks = 0;
  int64_t longestTickNs = 0;  // ticks of the running test, drawing included
  int64_t endTickNs = 0;      // the tick that ended it: the end of the test and the entry of the graph
  int64_t longestGapNs = 0;   // while the test ran
  int64_t gapsOver16Ms = 0;
  int64_t gapAfterEndNs = 0;  // the longest gap from the end tick until the final graph was painted
};

// Runs the started test to its end, timing every live tick and the event loop's gaps; a picture of
// the window is saved (see saveGrab) at the tick `grabAt`.
Timing timeRunningTest(PlateFixture& f, int64_t grabAt, const char* grabName) {
  Timing t;
  auto timedTick = [&] {
    QElapsedTimer clock;
    clock.start();
    f.tests().tick();
    const int64_t ns = clock.nsecsElapsed();
    if (f.tests().testRunning())
      t.longestTickNs = std::max<int64_t>(t.longestTickNs, ns);
    else
      t.endTickNs = ns;
    if (++t.ticks == grabAt) testing::saveGrab(f.frame(), grabName);
  };
  // The timer ticks through this timing wrapper instead of reaching the controller directly.
  QTimer& timer = f.tests().testTimer();
  QObject::disconnect(&timer, &QTimer::timeout, &f.tests(), nullptr);
  QObject::connect(&timer, &QTimer::timeout, timedTick);
  QElapsedTimer since;
  since.start();
  QTimer watchdog;
  watchdog.setTimerType(Qt::PreciseTimer);
  watchdog.setInterval(1);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    const int64_t gap = since.nsecsElapsed();
    since.restart();
    if (!f.tests().testRunning()) {
      t.gapAfterEndNs = std::max<int64_t>(t.gapAfterEndNs, gap);
      return;
    }
    t.longestGapNs = std::max<int64_t>(t.longestGapNs, gap);
    if (gap > 16'000'000) ++t.gapsOver16Ms;
  });
  watchdog.start();
  EXPECT_TRUE(f.waitForEnd(120000));
  // The graph of the whole recording is painted after the end.
  QTest::qWait(500);
  watchdog.stop();
  return t;
}

void print(const char* what, const Timing& t) {
  std::printf(
      "%s: %lld ticks; longest tick while running %.3f ms; longest event-loop gap while running %.3f ms, "
      "gaps over 16 ms: %lld; the ending tick %.3f ms, longest gap from it to the painted graph %.3f ms\n",
      what, static_cast<long long>(t.ticks), t.longestTickNs / 1e6, t.longestGapNs / 1e6,
      static_cast<long long>(t.gapsOver16Ms), t.endTickNs / 1e6, t.gapAfterEndNs / 1e6);
}

TEST(LiveTestTiming, DISABLED_PowerTestOf61SecondsAndRepetitionTestOf25) {
  {
    PlateFixture f;
    f.start("");
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<CWeightDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      type(dialog, CWeightDlg::kTime, "61");
      press(dialog, CWeightDlg::kGo);
      ASSERT_TRUE(waitUntil([&] { return dialog->control(kIdOk)->isEnabled(); }, 10000));
      press(dialog, kIdOk);
    });
    f.frame().action(cmd::kPowerPerform)->trigger();
    ASSERT_TRUE(f.tests().testRunning());
    const Timing t = timeRunningTest(f, 300, "live_power_running");
    EXPECT_EQ(f.store().sampleCount.load(), 61000);
    EXPECT_EQ(f.mode(), DisplayMode::CurveGraph);
    print("power test 61 s, live curves", t);
  }
  {
    PlateFixture f;
    f.start("");
    ASSERT_TRUE(f.tests().plate().simulation()->setSubject({.pushCount = 25}));
    f.perform(1, 25);
    ASSERT_TRUE(f.tests().testRunning());
    const Timing t = timeRunningTest(f, 128, "live_bars_running");
    EXPECT_EQ(f.store().repetitions.count.load(), 25);
    EXPECT_EQ(f.mode(), DisplayMode::BarGraph);
    print("force test of 25 repetitions, live bars", t);
  }
}

}  // namespace
}  // namespace velkora
