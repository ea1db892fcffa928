#include "desktop/command_table.h"

#include "model/command_ids.h"

namespace velkora {
namespace {

constexpr CommandEntry kCommands[] = {
    {cmd::kOpenForce, "&Open Force", "Ctrl+O", "Open an velkora file", "Open Force", ":/icons/open.svg"},
    {cmd::kOpenPower, "Open Po&wer", "", "Open tamsiru file", "Open Power", ":/icons/open_power.svg"},
    {cmd::kSave, "&Save", "Ctrl+S", "File Save", " File Save", ":/icons/save.svg"},
    {cmd::kPrint, "&Print...", "Ctrl+P", "Print the active document", "Print", ":/icons/print.svg"},
    {cmd::kPrintPreview, "Print Pre&view", "", "Display full pages", "Print Preview", ""},
    {cmd::kPrintSetup, "P&rint Setup...", "", "Change the printer and printing options", "Print Setup", ""},
    {cmd::kExit, "E&xit", "", "Quit the application; prompts to save documents", "Exit", ""},
    {cmd::kSubjectInfo, "&Subject Info", "", "Subject Info", "Subject Info", ":/icons/subject.svg"},
    {cmd::kPerform, "&Perform", "", "Force perform", "Force perform", ":/icons/perform.svg"},
    {cmd::kPowerPerform, "P&ower perform", "", "Power perform", "Power perform", ":/icons/power_perform.svg"},
    {cmd::kCheck, "&Check", "", "Check", "Check", ":/icons/check.svg"},
    {cmd::kDigitalReport, "&Digital", "", "Digital report", "Digital report", ":/icons/digital.svg"},
    {cmd::kCurveGraph, "&Curve graph", "", "Curve graph", "Curve graph", ":/icons/curve.svg"},
    {cmd::kBarGraph, "&Bar graph", "", "Bar graph", "Bar graph", ":/icons/bar.svg"},
    {cmd::kRepetitionReport, "&Repetition report", "", "Repetition report", "Repetition report", ""},
    {cmd::kSummaryReport, "&Summary report", "", "Summary report", "Summary report", ""},
    {cmd::kHeightReport, "&h-calcul report", "", "h-calcul report", "h-calcul report", ""},
    {cmd::kMetricsReport, "&Metrics", "", "Metrics of the test", "Metrics", ""},
    {cmd::kShowPhases, "Show &phases", "", "Show the phases of a jump on the curve graph", "Show phases", ""},
    {cmd::kLibrary, "&Library...", "Ctrl+L", "Open the subject library: history, trends and comparisons", "Library",
     ""},
    {cmd::kSetup, "&Setup", "", "Setup", "Setup", ":/icons/setup.svg"},
    {cmd::kGraphSetup, "&Graph setup", "", "Graph setup", "Graph setup", ":/icons/graph_setup.svg"},
    {cmd::kLibrarySetup, "&Library...", "", "Choose the subject library: a library file or a PostgreSQL server",
     "Library setup", ""},
    {cmd::kCalibration, "&Calibration", "", "Calibration", "Calibration", ":/icons/calibration.svg"},
    {cmd::kUserGuide, "&User Guide", "F1", "Show the user guide", "User Guide", ""},
    {cmd::kAbout, "&About", "", "Display program information, version number and copyright", "About",
     ":/icons/about.svg"},
};

constexpr int32_t kToolbar[] = {cmd::kOpenForce,
                                cmd::kSave,
                                cmd::kPrint,
                                0,
                                cmd::kSubjectInfo,
                                0,
                                cmd::kPerform,
                                cmd::kCheck,
                                0,
                                cmd::kDigitalReport,
                                cmd::kCurveGraph,
                                0,
                                cmd::kSetup,
                                cmd::kGraphSetup,
                                0,
                                cmd::kCalibration,
                                cmd::kAbout};

}  // namespace

std::span<const CommandEntry> commandTable() { return kCommands; }

const CommandEntry* findCommand(int32_t id) {
  for (const CommandEntry& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

std::span<const int32_t> toolbarLayout() { return kToolbar; }

}  // namespace velkora
