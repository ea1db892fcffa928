// velkora-cli report and export-csv: the digital reports of a measurement file as the Copy All text
// and as the Export csv text, exactly as the program copies and exports them.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "app/program_state.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "reports/digital_reports.h"
#include "reports/report_export.h"
#include "storage/binary_io.h"

namespace velkora::cli {
namespace {

enum class ReportKind { Digital, Repetition, Summary, Height };

std::optional<ReportKind> parseReportKind(std::string_view text) {
  if (text == "digital") return ReportKind::Digital;
  if (text == "repetition") return ReportKind::Repetition;
  if (text == "summary") return ReportKind::Summary;
  if (text == "height") return ReportKind::Height;
  return std::nullopt;
}

bool parseInterval(const std::string& text, int32_t& interval) {
  long long value = 0;
  if (!parseInt(text, value) || value < 1 || value > INT32_MAX) return false;
  interval = static_cast<int32_t>(value);
  return true;
}

// Builds the report the program shows for the command; false (with a message) for the jump reports
// of a recording that is not a power test.
bool buildReport(ReportKind kind, int32_t interval, const MeasurementStore& store, DigitalReport& report,
                 std::string_view command, CliIo& io) {
  switch (kind) {
    case ReportKind::Digital:
      fillDigitalReport(store, interval, report);
      return true;
    case ReportKind::Repetition:
      fillIntervalReport(store, interval, true, report);
      return true;
    case ReportKind::Summary:
    case ReportKind::Height:
      if (store.testKind != TestKind::Power) {
        io.err << "velkora-cli " << command << ": the " << (kind == ReportKind::Summary ? "summary" : "height")
               << " report needs a power test (a .tsr file or --kind power)\n";
        return false;
      }
      if (kind == ReportKind::Summary)
        fillSummaryReport(store, report);
      else
        fillHeightReport(store, report);
      return true;
  }
  return false;
}

// Options shared by both commands. Returns kExitOk, or the exit code of a wrong command line.
struct ReportOptions {
  std::string path;
  std::optional<ReportKind> kind;
  int32_t interval = 1;
  std::optional<TestKind> testKind;
  std::optional<char> separator;
  std::optional<std::string> output;
};

// Takes the --kind and --interval options both commands share. Returns true when args[i] was one of
// them (advancing past its value); `bad` is set, after the message, when the value was wrong.
bool takeSharedOption(const std::vector<std::string>& args, size_t& i, ReportOptions& o, std::string_view command,
                      CliIo& io, bool& bad) {
  std::string value;
  bool missing = false;
  bool invalid = false;
  bad = false;
  if (takeKindOption(args, i, o.testKind, invalid)) {
    if (invalid) io.err << "velkora-cli " << command << ": --kind needs force or power\n";
    bad = invalid;
    return true;
  }
  if (takeOption(args, i, "--interval", value, missing)) {
    bad = missing || !parseInterval(value, o.interval);
    if (bad) io.err << "velkora-cli " << command << ": --interval needs a whole number from 1 on\n";
    return true;
  }
  return false;
}

int runReport(const std::vector<std::string>& args, CliIo& io) {
  ReportOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    bool bad = false;
    if (takeSharedOption(args, i, o, "report", io, bad)) {
      if (bad) return kExitUsage;
      continue;
    }
    if (args[i].starts_with("--")) {
      io.err << "velkora-cli report: unknown option '" << args[i] << "'\n";
      return kExitUsage;
    }
    if (!o.kind) {
      o.kind = parseReportKind(args[i]);
      if (!o.kind) {
        io.err << "velkora-cli report: the report is digital, repetition, summary or height, not '" << args[i] << "'\n";
        return kExitUsage;
      }
      continue;
    }
    if (!o.path.empty()) {
      io.err << "velkora-cli report: unexpected argument '" << args[i] << "'\n";
      return kExitUsage;
    }
    o.path = args[i];
  }
  if (!o.kind || o.path.empty()) {
    io.err << "velkora-cli report: needs a report (digital, repetition, summary, height) and a file\n";
    return kExitUsage;
  }

  MeasurementStore& store = program::measurementStore;
  if (!loadForCli(o.path, o.testKind, store, program::subjectInfo, io)) return kExitFailure;
  DigitalReport report;
  if (!buildReport(*o.kind, o.interval, store, report, "report", io)) return kExitFailure;
  const std::string text = copyAllText(report);
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

int runExportCsv(const std::vector<std::string>& args, CliIo& io) {
  ReportOptions o;
  o.kind = ReportKind::Digital;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    bool missing = false;
    bool bad = false;
    if (takeSharedOption(args, i, o, "export-csv", io, bad)) {
      if (bad) return kExitUsage;
      continue;
    }
    if (takeOption(args, i, "--report", value, missing)) {
      const std::optional<ReportKind> kind = missing ? std::nullopt : parseReportKind(value);
      if (kind != ReportKind::Digital && kind != ReportKind::Repetition) {
        io.err << "velkora-cli export-csv: --report needs digital or repetition\n";
        return kExitUsage;
      }
      o.kind = kind;
      continue;
    }
    if (takeOption(args, i, "--separator", value, missing)) {
      if (missing || value.size() != 1) {
        io.err << "velkora-cli export-csv: --separator needs a single character\n";
        return kExitUsage;
      }
      o.separator = value[0];
      continue;
    }
    if (takeOption(args, i, "--output", value, missing)) {
      if (missing || value.empty()) {
        io.err << "velkora-cli export-csv: --output needs a path\n";
        return kExitUsage;
      }
      o.output = value;
      continue;
    }
    if (args[i].starts_with("--") || !o.path.empty()) {
      io.err << "velkora-cli export-csv: unexpected argument '" << args[i] << "'\n";
      return kExitUsage;
    }
    o.path = args[i];
  }
  if (o.path.empty()) {
    io.err << "velkora-cli export-csv: no file given\n";
    return kExitUsage;
  }

  MeasurementStore& store = program::measurementStore;
  SubjectInfo& subject = program::subjectInfo;
  if (!loadForCli(o.path, o.testKind, store, subject, io)) return kExitFailure;
  DigitalReport report;
  if (!buildReport(*o.kind, o.interval, store, report, "export-csv", io)) return kExitFailure;
  const std::string text =
      csvExportText(report, subject.name, store.testTime, o.separator.value_or(csvSeparatorForLocale()));
  if (o.output) {
    if (!writeFileAtomically(*o.output, text)) {
      io.err << "velkora-cli export-csv: cannot write '" << *o.output << "'\n";
      return kExitFailure;
    }
    return kExitOk;
  }
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

const CliRegistration reportRegistration{
    {"report", "digital|repetition|summary|height FILE [--interval K] [--kind force|power]",
     "print a report as the program's Copy All text: the two header lines (each header part followed by two "
     "spaces), then one line per row with its cells joined; lines end in CR LF. The digital report of a power "
     "test has the power layout; K (default 1) is the interval in samples or repetitions; the summary and height "
     "reports need a power test. Numbers follow LC_NUMERIC",
     runReport}};

const CliRegistration exportRegistration{
    {"export-csv",
     "FILE [--report digital|repetition] [--interval K] [--separator C] [--output PATH] [--kind force|power]",
     "print (or write atomically to PATH) the program's CSV export of the digital (default) or repetition "
     "report: name line, date line in local time, two header lines, the rows, every cell followed by the "
     "separator (default ';' where the decimal mark is ',' and ',' otherwise); lines end in CR LF, UTF-8",
     runExportCsv}};

}  // namespace
}  // namespace velkora::cli
