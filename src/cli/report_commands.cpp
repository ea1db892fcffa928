// velkora-cli report and export-csv: the digital reports of a measurement file as the Copy All text
// and as the Export csv text, exactly as the program copies and exports them.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "app/measurement_use_cases.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "reports/digital_reports.h"
#include "reports/report_export.h"

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

// --interval K, which both commands take.
CLI::Option* addIntervalOption(CLI::App& command, int32_t& interval) {
  return command.add_option("--interval", interval, "rows of K samples (or repetitions) each; default 1")
      ->type_name("K")
      ->transform(wholeNumber(1, INT32_MAX));
}

class ReportCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    command
        .add_option_function<std::string>(
            "REPORT", [this](const std::string& text) { kind_ = parseReportKind(text).value_or(ReportKind::Digital); },
            "the report: digital, repetition, summary or height")
        ->required()
        ->type_name("")
        ->check(CLI::IsMember({"digital", "repetition", "summary", "height"}).description(""));
    addFileArgument(command, path_);
    addIntervalOption(command, interval_);
    addKindOption(command, testKind_);
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  ReportKind kind_ = ReportKind::Digital;
  std::string path_;
  int32_t interval_ = 1;
  std::optional<TestKind> testKind_;
};

int ReportCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  if (!loadForCli(path_, testKind_, records, io)) return kExitFailure;
  DigitalReport report;
  if (!buildReport(kind_, interval_, store, report, "report", io)) return kExitFailure;
  const std::string text = copyAllText(report);
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

class ExportCsvCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    addFileArgument(command, path_);
    command
        .add_option_function<std::string>(
            "--report",
            [this](const std::string& text) { kind_ = parseReportKind(text).value_or(ReportKind::Digital); },
            "the report to export (default digital)")
        ->type_name("digital|repetition")
        ->check(CLI::IsMember({"digital", "repetition"}).description(""));
    addIntervalOption(command, interval_);
    command
        .add_option_function<std::string>(
            "--separator", [this](const std::string& text) { separator_ = text[0]; },
            "the character after every cell (default ';' where the decimal mark is ',' and ',' otherwise)")
        ->type_name("C")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
              return text.size() == 1 && isUsableCsvSeparator(text[0])
                         ? ""
                         : "needs one printable character that is not the decimal mark, a digit, a sign, a "
                           "double quote or a space";
            },
            "", "separator"));
    command.add_option("--output", output_, "write the text atomically to PATH instead of printing it")
        ->type_name("PATH")
        ->check(nonEmpty());
    addKindOption(command, testKind_);
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::string path_;
  ReportKind kind_ = ReportKind::Digital;
  int32_t interval_ = 1;
  std::optional<char> separator_;
  std::string output_;
  std::optional<TestKind> testKind_;
};

int ExportCsvCommand::run(CliIo& io, SharedRecords& records) {
  if (!output_.empty() && outputIsInput("export-csv", path_, output_, io)) return kExitFailure;
  if (!loadForCli(path_, testKind_, records, io)) return kExitFailure;
  DigitalReport report;
  if (!buildReport(kind_, interval_, records.store, report, "export-csv", io)) return kExitFailure;
  const char separator = separator_.value_or(csvSeparatorForLocale());
  if (!output_.empty()) {
    StreamMessageSink messages(io.err);
    std::error_code error;
    if (!exportReport(records, report, output_, separator, messages, &error)) {
      printFileReason(io.err, output_, error);
      return kExitFailure;
    }
    return kExitOk;
  }
  const std::string text = csvExportText(report, records.subject.name, records.store.testTime, separator);
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

const CliRegistration reportRegistration{
    {"report", "print a report as the program's Copy All text",
     "Prints the report as the program's Copy All text: the two header lines (each header part followed by two\n"
     "spaces), then one line per row with its cells joined; lines end in CR LF. The digital report of a power\n"
     "test has the power layout; K (default 1) is the interval in samples or repetitions; the summary and\n"
     "height reports need a power test. Numbers follow LC_NUMERIC. A name ending in .tsr (any letter case) is\n"
     "a power test, any other a force test, unless --kind says otherwise.",
     makeCommand<ReportCommand>}};

const CliRegistration exportRegistration{
    {"export-csv", "print or write the program's CSV export of a report",
     "Prints (or writes atomically to PATH) the program's CSV export of the digital (default) or repetition\n"
     "report: name line, date line in local time, two header lines, the rows, every cell followed by the\n"
     "separator; lines end in CR LF, UTF-8. Control characters in the name become spaces, and a name line\n"
     "holding the separator or a double quote is written as one quoted field (\"Name: ...\", inner quotes\n"
     "doubled), as is a header part holding the separator. The output may not be FILE itself.",
     makeCommand<ExportCsvCommand>}};

}  // namespace
}  // namespace velkora::cli
