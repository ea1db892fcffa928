#include "acquisition/simulated_subject.h"

#include <cstdio>

#include "acquisition/simulated_plate.h"

namespace velkora {

bool subjectWithinLimits(const SimulatedSubject& s) {
  const SubjectLimits& l = kSubjectLimits;
  // Written so that NaN fails every comparison and is refused.
  return s.mass >= l.minMass && s.mass <= l.maxMass && s.pushCount >= l.minPushCount && s.pushCount <= l.maxPushCount &&
         s.pushForce >= l.minPushForce && s.pushForce <= l.maxPushForce && s.pushLength >= l.minPushLength &&
         s.pushLength <= l.maxPushLength && s.flightTime >= l.minFlightTime && s.flightTime <= l.maxFlightTime;
}

Scenario subjectScenario(const SimulatedSubject& subject, const LinkPurpose& purpose) {
  Scenario s;
  s.mass = subject.mass;
  switch (purpose.use) {
    case LinkUse::Unspecified:
    case LinkUse::CalibrationOffset:
      s.kind = ScenarioKind::Empty;
      break;
    case LinkUse::Weighing:
    case LinkUse::CheckReadout:
      s.kind = ScenarioKind::Stand;
      break;
    case LinkUse::ForceTest:
      s.kind = ScenarioKind::Pushes;
      // The subject gives as many pushes as the test counts, so a test by repetitions always ends.
      s.count = purpose.repetitions > 0 ? purpose.repetitions : subject.pushCount;
      s.peak = subject.pushForce;
      s.duration = subject.pushLength;
      s.horizontal = subject.pushForce / 8;  // a push leans a little forward
      s.pause = kSubjectPushPause;
      break;
    case LinkUse::PowerTest:
      s.kind = ScenarioKind::Jump;
      s.flight = subject.flightTime;
      s.quiet = kSubjectQuietBeforeJump;
      break;
    case LinkUse::CalibrationVertical:
    case LinkUse::CalibrationHorizontal:
      s.kind = purpose.use == LinkUse::CalibrationVertical ? ScenarioKind::Mass : ScenarioKind::HorizontalMass;
      s.mass = purpose.massKg > 0 ? purpose.massKg : kDefaultCalibrationMass;
      break;
  }
  return s;
}

std::string subjectSummary(const SimulatedSubject& subject) {
  char text[160];
  std::snprintf(text, sizeof text, "%.0f kg, %d push%s of %.0f N for %d ms, flight %d ms", subject.mass,
                subject.pushCount, subject.pushCount == 1 ? "" : "es", subject.pushForce, subject.pushLength,
                subject.flightTime);
  return text;
}

}  // namespace velkora
