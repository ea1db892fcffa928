#pragma once
// The program's command ids: menu items, toolbar buttons, accelerators and the buttons and lists of
// the dialog bars all send one of these, so the main frame, the view and the tests name a command
// the same way.

#include <cstdint>

namespace velkora::cmd {

// Main frame: files, subject, setup, calibration.
inline constexpr int32_t kOpenForce = 57601;
inline constexpr int32_t kOpenPower = 32824;
inline constexpr int32_t kSave = 32781;
inline constexpr int32_t kPrint = 57607;
inline constexpr int32_t kPrintPreview = 57609;
inline constexpr int32_t kPrintSetup = 57606;
inline constexpr int32_t kExit = 57665;
inline constexpr int32_t kSubjectInfo = 32771;
inline constexpr int32_t kSetup = 32776;
inline constexpr int32_t kGraphSetup = 32783;
inline constexpr int32_t kCalibration = 32774;
inline constexpr int32_t kAbout = 57664;
inline constexpr int32_t kUserGuide = 57670;
inline constexpr int32_t kLibrary = 32830;       // the subject library's window
inline constexpr int32_t kLibrarySetup = 32833;  // Setup -> Library...: a library file or a server

// View: tests.
inline constexpr int32_t kPerform = 32772;
inline constexpr int32_t kPowerPerform = 32782;
inline constexpr int32_t kCheck = 32773;
inline constexpr int32_t kStop = 1047;

// View: displays and reports.
inline constexpr int32_t kDigitalReport = 32785;
inline constexpr int32_t kBarGraph = 32786;
inline constexpr int32_t kCurveGraph = 32787;
inline constexpr int32_t kSummaryReport = 32820;
inline constexpr int32_t kHeightReport = 32821;
inline constexpr int32_t kResetView = 32822;
inline constexpr int32_t kRepetitionReport = 32825;
inline constexpr int32_t kMetricsReport = 32831;
inline constexpr int32_t kShowPhases = 32832;  // checkable: the jump's phases on the curve graph

// View: navigation on the dialog bars.
inline constexpr int32_t kZoom = 32813;
inline constexpr int32_t kCursorRightLeft = 32814;   // XR "<<"
inline constexpr int32_t kCursorRightRight = 32815;  // XR ">>"
inline constexpr int32_t kCursorLeftLeft = 32816;    // XL "<<"
inline constexpr int32_t kCursorLeftRight = 32817;   // XL ">>"
inline constexpr int32_t kFullWindow = 32826;        // "Full": back to the whole recording
inline constexpr int32_t kPreviousRepetition = 1044;
inline constexpr int32_t kNextRepetition = 1045;

// View: report bar.
inline constexpr int32_t kCopy = 32811;
inline constexpr int32_t kCopyAll = 32810;
inline constexpr int32_t kExportCsv = 32812;

// Lists on the dialog bars, by control id.
inline constexpr int32_t kIntervalList = 32801;
inline constexpr int32_t kY1List = 1069;
inline constexpr int32_t kY2List = 1071;

// Dialog-bar templates.
inline constexpr int32_t kReportBar = 138;
inline constexpr int32_t kRepetitionBar = 139;
inline constexpr int32_t kCurveBar = 140;
inline constexpr int32_t kStopBar = 144;
inline constexpr int32_t kMetricsBar = 145;  // Copy, Copy All and Export csv without an interval list

}  // namespace velkora::cmd
