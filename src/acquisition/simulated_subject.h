#pragma once
// The subject of the simulated plate when no scenario list is given: it does what the program asks
// for at each start (stands still for the weighing, pushes for a force test, jumps for a power test,
// leaves the plate or puts the calibration mass on it for the calibration), with settings the user
// may change while the program runs.

#include <cstdint>
#include <string>

#include "acquisition/link_purpose.h"

namespace velkora {

struct Scenario;

struct SimulatedSubject {
  double mass = 75.0;        // kg
  int32_t pushCount = 3;     // pushes of a force test by time; one by repetitions gets its target
  double pushForce = 800.0;  // N, vertical peak of a push
  int32_t pushLength = 400;  // ms
  int32_t flightTime = 450;  // ms of a power test's jump
};

// The ranges the settings accept (the scenario model stays physical and inside the 12-bit counts).
struct SubjectLimits {
  double minMass = 20.0, maxMass = 200.0;
  int32_t minPushCount = 1, maxPushCount = 100;
  double minPushForce = 1.0, maxPushForce = 3900.0;
  int32_t minPushLength = 2, maxPushLength = 10000;
  int32_t minFlightTime = 50, maxFlightTime = 1000;
};
inline constexpr SubjectLimits kSubjectLimits{};

bool subjectWithinLimits(const SimulatedSubject& subject);

// The settings in one line, as the Simulated plate menu shows them:
// "75 kg, 3 pushes of 800 N for 400 ms, flight 450 ms".
std::string subjectSummary(const SimulatedSubject& subject);

// Standing time before the jump: short enough that a power test of 3 s holds the whole jump with
// the longest flight and the landing.
inline constexpr int32_t kSubjectQuietBeforeJump = 1000;  // ms
inline constexpr int32_t kSubjectPushPause = 600;         // ms of unloaded plate before each push
inline constexpr double kDefaultCalibrationMass = 20.0;   // kg, when a weight step names none

// What the subject does on the plate for one start. Unspecified has no scenario of its own; the
// caller then plays its default.
Scenario subjectScenario(const SimulatedSubject& subject, const LinkPurpose& purpose);

}  // namespace velkora
