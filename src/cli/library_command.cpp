// velkora-cli library: the subject library from the command line. scan indexes a folder of measurement
// files; subjects, tests and trend read the library; compare draws tests over each other; sync sends the
// tests that wait in the outbox for a server library.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/library_pictures.h"
#include "cli/library_text.h"
#include "cli/stop_signals.h"
#include "cli/text_escape.h"
#include "library/library_location.h"
#include "library/library_session.h"
#include "library/metric_catalog.h"
#include "reports/test_metrics.h"
#include "storage/measurement_file.h"
#include "view/compare_graph.h"
#include "view/trend_graph.h"

namespace velkora::cli {
namespace {

using std::chrono::steady_clock;

constexpr const char* kLibraryOptionHelp =
    "the library: a file, or a server as postgresql://USER@HOST/DATABASE or service=NAME (default: "
    "library.sqlite beside the DATA folder)";

// Messages of the library (a library moved aside, ...) after the command's name.
class PrefixedSink final : public MessageSink {
 public:
  PrefixedSink(std::ostream& out, std::string prefix) : out_(out), prefix_(std::move(prefix)) {}
  void showMessage(std::string_view text) override { out_ << prefix_ << text << '\n'; }

 private:
  std::ostream& out_;
  std::string prefix_;
};

bool endsWithCaseless(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char s, char t) { return s == (t >= 'A' && t <= 'Z' ? static_cast<char>(t - 'A' + 'a') : t); });
}

CLI::Validator pictureFile() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        for (std::string_view ext : {".png", ".svg", ".pdf"})
          if (endsWithCaseless(text, ext)) return {};
        return "the picture's name must end in .png, .svg or .pdf";
      },
      "", "picture");
}

CLI::Validator dateCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        int64_t seconds = 0;
        return parseLocalDate(text, seconds) ? "" : "needs a date YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]";
      },
      "", "date");
}

CLI::Validator metricCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (!isKnownMetricKey(text))
          return "needs a metric key of velkora-cli metrics, e.g. jumpHeightTakeoffVelocity_cm, peakForce_N or "
                 "rep2.peakForce_N";
        if (isTextMetric(text)) return "needs a metric with numbers; " + text + " is a text";
        return {};
      },
      "", "metric");
}

std::string metricText(const StoredMetric& metric) {
  const Metric m{metric.key, metric.format, metric.value.has_value() || metric.text.has_value(),
                 metric.value.value_or(0.0), metric.text ? std::string_view(*metric.text) : std::string_view()};
  return formatMetricValue(m);
}

// The key metrics of a test as one short text: "jump 32.41 cm, flight 31.90 cm, ...".
std::string keyMetricText(const LibraryTestEntry& test, const std::vector<std::string>& keys) {
  std::string text;
  for (const KeyMetric& metric : keyMetrics(test.kind)) {
    const auto valueOf = [&](std::string_view key) -> std::optional<double> {
      for (size_t k = 0; k < keys.size() && k < test.metrics.size(); ++k)
        if (keys[k] == key) return test.metrics[k];
      return std::nullopt;
    };
    std::optional<double> value = valueOf(metric.key);
    if (value && !metric.perKey.empty()) {
      const std::optional<double> per = valueOf(metric.perKey);
      value = per && *per > 0 ? std::optional<double>(*value / *per) : std::nullopt;
    }
    if (!text.empty()) text += ", ";
    text += std::string(metric.label) + " ";
    text += value ? formatFixed(*value, metric.decimals) + " " + std::string(metric.unit) : "n/a";
  }
  return text;
}

// Every key the key-metric texts read.
std::vector<std::string> keyMetricKeys() {
  std::vector<std::string> keys;
  for (TestKind kind : {TestKind::Power, TestKind::Force})
    for (const KeyMetric& metric : keyMetrics(kind)) {
      keys.emplace_back(metric.key);
      if (!metric.perKey.empty()) keys.emplace_back(metric.perKey);
    }
  return keys;
}

class LibraryCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override;
  int run(CliIo& io, SharedRecords& records) override;

 private:
  CLI::App* addSubcommand(CLI::App& parent, const char* name, const char* summary, const char* description);
  // The library the command names, or the program's default; null after the message. A server that
  // cannot be reached gives an offline session.
  std::unique_ptr<LibrarySession> open(CliIo& io, const std::vector<std::string>& folders, bool rebuildAtOnce);
  // The open library of a session, or null after the message saying why there is none.
  LibraryService* reachable(CliIo& io, LibrarySession& session);
  std::string prefix() const { return "velkora-cli library " + subcommand_ + ": "; }
  int fail(CliIo& io, std::string_view message) const;

  int scan(CliIo& io);
  int subjects(CliIo& io);
  int tests(CliIo& io);
  int trend(CliIo& io);
  int compare(CliIo& io);
  int sync(CliIo& io);

  SharedRecords* records_ = nullptr;  // the program's records, while run() runs

  std::vector<std::pair<CLI::App*, int (LibraryCommand::*)(CliIo&)>> subcommands_;
  std::string subcommand_;
  std::string library_;
  std::string folder_;
  bool csv_ = false;
  std::string subject_;
  CLI::Option* subjectOption_ = nullptr;
  std::optional<TestKind> kind_;
  std::string since_;
  std::string metric_;
  std::string output_;
  std::vector<std::string> files_;
  std::unique_ptr<PrefixedSink> messages_;
};

CLI::App* LibraryCommand::addSubcommand(CLI::App& parent, const char* name, const char* summary,
                                        const char* description) {
  CLI::App* sub = parent.add_subcommand(name, summary);
  sub->footer(description);
  sub->add_option("--library", library_, kLibraryOptionHelp)->type_name("LOCATION")->check(nonEmpty());
  return sub;
}

void LibraryCommand::define(CLI::App& command) {
  command.require_subcommand(1, 1);
  command.add_option("--library", library_, kLibraryOptionHelp)->type_name("LOCATION")->check(nonEmpty());

  CLI::App* scan = addSubcommand(
      command, "scan", "index a folder of measurement files and everything below it",
      "Adds the .vkr and .tsr files below DIR to the library, updates those whose size, modification time and\n"
      "content changed, and marks the entries whose files are gone as missing; no file is changed or deleted.\n"
      "Progress goes to stderr on a terminal; at the end the counts of added, updated, unchanged, missing and\n"
      "failed files are printed, each failed file with its reason. Exit code 1 when a file failed. With a\n"
      "server library that cannot be reached, every file waits in the outbox (queued) and is sent by sync.");
  scan->add_option("DIR", folder_, "the folder to index")->required()->type_name("")->check(nonEmpty());
  subcommands_.emplace_back(scan, &LibraryCommand::scan);

  CLI::App* subjects = addSubcommand(
      command, "subjects", "list the subjects with their number of tests and last test date",
      "One line per subject in the order of their names: present tests, missing tests, the date of the newest\n"
      "present test (ISO 8601, local time) and the name as typed in the newest test. With --csv: a header\n"
      "line name,tests,missing,lastTest, the date with its offset from UTC.");
  subjects->add_flag("--csv", csv_, "comma-separated values (RFC 4180 quoting)");
  subcommands_.emplace_back(subjects, &LibraryCommand::subjects);

  CLI::App* tests = addSubcommand(
      command, "tests", "list tests, oldest first",
      "One line per test, oldest first: date (ISO 8601, local time), kind, subject, file (\"(missing)\" when\n"
      "the latest scan did not find it) and the key metrics (power: jump height by take-off velocity and by\n"
      "flight time, RSI-modified, peak propulsive power per kg; force: the best repetition's peak force, mean\n"
      "force and RFD 0-100 ms). A subject is named as typed; letter case and surrounding spaces do not matter.\n"
      "With --csv: date,subject,kind,file,status, then every power metric as power.KEY and every whole-test\n"
      "force metric as force.KEY, the other kind's cells n/a, numbers as velkora-cli metrics prints them.");
  subjectOption_ = tests->add_option("--subject", subject_, "only this subject's tests")->type_name("NAME");
  tests
      ->add_option_function<std::string>(
          "--kind", [this](const std::string& text) { kind_ = parseTestKind(text); }, "only force or only power tests")
      ->check(CLI::IsMember({"force", "power"}).description(""))
      ->type_name("force|power");
  tests->add_option("--since", since_, "only tests on or after this date (local time)")
      ->type_name("DATE")
      ->check(dateCheck());
  tests->add_flag("--csv", csv_, "comma-separated values (RFC 4180 quoting)");
  subcommands_.emplace_back(tests, &LibraryCommand::tests);

  CLI::App* trend = addSubcommand(
      command, "trend", "one metric of a subject over the test dates, as text, CSV or a picture",
      "The subject's values of KEY (any key of velkora-cli metrics with numbers, repetitions as repK.KEY) from\n"
      "the tests whose files are present, oldest first; tests where it is n/a are left out. The best value (the\n"
      "highest; for times to take-off or peak and contact times the lowest) is marked. With --csv: date,value,\n"
      "file. With --output: the trend graph as a PNG, SVG or PDF picture of 800x450 pixels.");
  trend->add_option("--subject", subject_, "the subject, as typed")->required()->type_name("NAME");
  trend->add_option("--metric", metric_, "the metric key")->required()->type_name("KEY")->check(metricCheck());
  CLI::Option* trendCsv = trend->add_flag("--csv", csv_, "comma-separated values (RFC 4180 quoting)");
  trend->add_option("--output", output_, "draw the trend graph into this picture")
      ->type_name("OUT.png|OUT.svg|OUT.pdf")
      ->check(pictureFile())
      ->excludes(trendCsv);
  subcommands_.emplace_back(trend, &LibraryCommand::trend);

  CLI::App* compare = command.add_subcommand("compare", "draw the vertical force of 2 to 4 tests over each other");
  compare->footer(
      "Draws the vertical force of the files in distinct colours with a legend (subject and date), aligned at\n"
      "the take-off for power tests (.tsr) and at the onset of the first repetition for force tests; the time\n"
      "axis counts from there. A test without take-off or repetition starts at 0 and says \"not aligned\". The\n"
      "picture is 800x450 pixels; its extension chooses PNG, SVG or PDF.");
  compare->add_option("FILE", files_, "the measurement files (2 to 4)")->required()->expected(1, 1000)->type_name("");
  compare->add_option("--output", output_, "the picture to write")
      ->required()
      ->type_name("OUT.png|OUT.svg|OUT.pdf")
      ->check(pictureFile());
  subcommands_.emplace_back(compare, &LibraryCommand::compare);

  CLI::App* sync = addSubcommand(
      command, "sync", "send the tests waiting for a server library",
      "Sends the tests that were saved or scanned while a server library could not be reached, in the order\n"
      "they were saved, and prints \"N tests waiting\" (0 when all were sent). They wait in the outbox of the\n"
      "default library file; --library names the server whose tests to send (all servers without it) or\n"
      "another library file whose outbox to send. Exit code 0 when nothing waits, 1 otherwise.");
  subcommands_.emplace_back(sync, &LibraryCommand::sync);
}

int LibraryCommand::run(CliIo& io, SharedRecords& records) {
  for (const auto& [app, handler] : subcommands_) {
    if (!app->parsed()) continue;
    subcommand_ = app->get_name();
    records_ = &records;
    return (this->*handler)(io);
  }
  return kExitUsage;
}

int LibraryCommand::fail(CliIo& io, std::string_view message) const {
  io.err << prefix() << message << '\n';
  return kExitFailure;
}

std::unique_ptr<LibrarySession> LibraryCommand::open(CliIo& io, const std::vector<std::string>& folders,
                                                     bool rebuildAtOnce) {
  const ProgramPaths& paths = records_->paths;
  LibraryOptions options;
  options.location = library_.empty() ? paths.libraryPath : library_;
  options.rebuildFolders = folders;
  options.rebuildAtOnce = rebuildAtOnce;
  options.outboxLocation = paths.libraryPath;
  std::error_code error;
  if (rebuildAtOnce && !paths.dataFolder.empty() && std::filesystem::is_directory(paths.dataFolder, error))
    options.rebuildFolders.push_back(paths.dataFolder);
  messages_ = std::make_unique<PrefixedSink>(io.err, prefix());
  LibraryStatus status;
  std::unique_ptr<LibrarySession> session = LibrarySession::open(options, *messages_, status);
  if (!session) fail(io, status.message);
  return session;
}

LibraryService* LibraryCommand::reachable(CliIo& io, LibrarySession& session) {
  LibraryService* library = session.library();
  if (library == nullptr) fail(io, session.lastProblem().message);
  return library;
}

int LibraryCommand::scan(CliIo& io) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder_, error)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    return fail(io, escapeText(folder_) + ": " + error.message());
  }
  // A library made anew is filled by this very scan.
  std::unique_ptr<LibrarySession> library = open(io, {folder_}, false);
  if (!library) return kExitFailure;

  const bool terminal = &io.err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  auto lastShown = steady_clock::now();
  bool shown = false;
  StopSignals stopSignals;
  const LibraryScanSummary summary = library->scan(folder_, [&](const LibraryScanProgress& progress) {
    if (terminal &&
        (progress.done == progress.total || steady_clock::now() - lastShown > std::chrono::milliseconds(100))) {
      io.err << "\rscanning: " << progress.done << " of " << progress.total << " files" << std::flush;
      lastShown = steady_clock::now();
      shown = true;
    }
    return !StopSignals::requested();
  });
  if (shown) io.err << '\n';
  if (!summary.status.ok()) return fail(io, summary.status.message);

  std::ostream& out = io.out;
  out << "added: " << summary.added << '\n'
      << "updated: " << summary.updated << '\n'
      << "unchanged: " << summary.unchanged << '\n'
      << "missing: " << summary.missing << '\n'
      << "failed: " << summary.failed.size() << '\n';
  if (library->isServer()) out << "queued: " << summary.queued << '\n';
  for (const LibraryScanFailure& failure : summary.failed)
    out << "  " << escapeText(failure.path) << ": " << escapeText(failure.reason) << '\n';
  if (summary.stopped) out << "stopped before the end; run the scan again to complete it\n";
  if (summary.queued > 0)
    io.err << prefix() << library->lastProblem().message << "; the files wait in the outbox ("
           << testsWaitingText(library->outboxCount()) << "): velkora-cli library sync sends them\n";
  out.flush();
  return summary.failed.empty() && !summary.stopped ? kExitOk : kExitFailure;
}

int LibraryCommand::subjects(CliIo& io) {
  std::unique_ptr<LibrarySession> session = open(io, {}, true);
  if (!session) return kExitFailure;
  LibraryService* library = reachable(io, *session);
  if (library == nullptr) return kExitFailure;
  std::vector<LibrarySubject> subjects;
  if (LibraryStatus s = library->subjects("", subjects); !s.ok()) return fail(io, s.message);

  std::ostream& out = io.out;
  if (csv_) {
    out << "name,tests,missing,lastTest\n";
    for (const LibrarySubject& s : subjects)
      out << csvField(s.name) << ',' << s.testCount << ',' << s.missingCount << ','
          << (s.lastTestTime ? isoLocalTimeWithOffset(*s.lastTestTime) : "") << '\n';
  } else {
    out << "tests  missing  last test            name\n";
    for (const LibrarySubject& s : subjects) {
      std::string count = std::to_string(s.testCount), missing = std::to_string(s.missingCount);
      out << std::string(std::max<size_t>(5, count.size()) - count.size(), ' ') << count << "  "
          << std::string(std::max<size_t>(7, missing.size()) - missing.size(), ' ') << missing << "  "
          << padded(s.lastTestTime ? isoLocalTime(*s.lastTestTime) : "-", 19) << "  " << escapeText(s.name) << '\n';
    }
  }
  out.flush();
  return kExitOk;
}

int LibraryCommand::tests(CliIo& io) {
  std::unique_ptr<LibrarySession> session = open(io, {}, true);
  if (!session) return kExitFailure;
  LibraryService* library = reachable(io, *session);
  if (library == nullptr) return kExitFailure;
  LibraryTestQuery query;
  if (subjectOption_->count() > 0) {
    std::optional<LibrarySubject> subject;
    if (LibraryStatus s = library->subjectNamed(subject_, subject); !s.ok()) return fail(io, s.message);
    if (!subject)
      return fail(io, "no subject named " + escapeText(subject_) + " in the library " + library->describe());
    query.subjectKey = subject->key;
  }
  query.kind = kind_;
  if (!since_.empty()) {
    int64_t since = 0;
    parseLocalDate(since_, since);
    query.since = since;
  }
  if (!csv_) query.metricKeys = keyMetricKeys();
  std::vector<LibraryTestEntry> tests;
  if (LibraryStatus s = library->tests(query, tests); !s.ok()) return fail(io, s.message);

  std::ostream& out = io.out;
  if (csv_) {
    out << "date,subject,kind,file,status";
    for (std::string_view key : powerMetricKeys()) out << ",power." << key;
    for (std::string_view key : forceMetricKeys()) out << ",force." << key;
    out << '\n';
    std::vector<StoredMetric> metrics;
    for (const LibraryTestEntry& test : tests) {
      if (LibraryStatus s = library->testMetrics(test.id, metrics); !s.ok()) return fail(io, s.message);
      out << isoLocalTimeWithOffset(test.testTime) << ',' << csvField(test.subject.name) << ','
          << testKindName(test.kind) << ',' << csvField(test.path) << ',' << (test.missing ? "missing" : "present");
      for (TestKind kind : {TestKind::Power, TestKind::Force}) {
        for (std::string_view key : kind == TestKind::Power ? powerMetricKeys() : forceMetricKeys()) {
          const auto it =
              std::find_if(metrics.begin(), metrics.end(), [&](const StoredMetric& m) { return m.key == key; });
          out << ',' << (test.kind == kind && it != metrics.end() ? csvField(metricText(*it)) : "n/a");
        }
      }
      out << '\n';
    }
    out.flush();
    return kExitOk;
  }

  // Text: columns padded to the widest subject and file, up to a sensible width.
  constexpr size_t kMaxColumn = 40;
  size_t subjectWidth = 7, fileWidth = 4;
  std::vector<std::string> names, files;
  for (const LibraryTestEntry& test : tests) {
    names.push_back(escapeText(test.subject.name));
    files.push_back(escapeText(test.path) + (test.missing ? " (missing)" : ""));
    subjectWidth = std::max(subjectWidth, std::min(kMaxColumn, displayWidth(names.back())));
    fileWidth = std::max(fileWidth, std::min(kMaxColumn, displayWidth(files.back())));
  }
  out << "date                 kind   " << padded("subject", subjectWidth) << "  " << padded("file", fileWidth)
      << "  key metrics\n";
  for (size_t k = 0; k < tests.size(); ++k) {
    const LibraryTestEntry& test = tests[k];
    out << isoLocalTime(test.testTime) << "  " << testKindName(test.kind) << "  " << padded(names[k], subjectWidth)
        << "  " << padded(files[k], fileWidth) << "  " << keyMetricText(test, query.metricKeys) << '\n';
  }
  out.flush();
  return kExitOk;
}

int LibraryCommand::trend(CliIo& io) {
  if (!output_.empty() && libraryPictureWriter() == nullptr)
    return fail(io, "this velkora-cli was built without pictures (Qt); use the text or --csv");
  std::unique_ptr<LibrarySession> session = open(io, {}, true);
  if (!session) return kExitFailure;
  LibraryService* library = reachable(io, *session);
  if (library == nullptr) return kExitFailure;
  std::optional<LibrarySubject> subject;
  if (LibraryStatus s = library->subjectNamed(subject_, subject); !s.ok()) return fail(io, s.message);
  if (!subject) return fail(io, "no subject named " + escapeText(subject_) + " in the library " + library->describe());
  std::vector<LibraryTrendPoint> points;
  if (LibraryStatus s = library->trend(subject_, metric_, points); !s.ok()) return fail(io, s.message);
  std::vector<LibraryMetricKey> keys;
  if (LibraryStatus s = library->backend().metricKeys(keys); !s.ok()) return fail(io, s.message);
  MetricFormat format = MetricFormat::Fixed2;
  for (const LibraryMetricKey& key : keys)
    if (key.key == metric_) format = key.format;
  const auto text = [&](double value) {
    return formatMetricValue(Metric{metric_, format, true, value, std::string_view()});
  };

  std::vector<TrendGraphPoint> graphPoints;
  for (const LibraryTrendPoint& p : points) graphPoints.push_back({p.testTime, p.value});
  const int32_t best = bestTrendPoint(graphPoints, lowerIsBetter(metric_));

  if (!output_.empty()) {
    TrendGraph graph;
    graph.title = graphName(subject->name) + ": " + metric_;
    graph.points = std::move(graphPoints);
    graph.lowerIsBetter = lowerIsBetter(metric_);
    graph.decimals = metricDecimals(format);
    return libraryPictureWriter()(
        output_, kLibraryPictureWidth, kLibraryPictureHeight,
        [&](DeviceContext& dc, const Rect& area) { drawTrendGraph(dc, area, graph); }, io);
  }
  std::ostream& out = io.out;
  if (csv_) {
    out << "date,value,file\n";
    for (const LibraryTrendPoint& p : points)
      out << isoLocalTimeWithOffset(p.testTime) << ',' << csvField(text(p.value)) << ',' << csvField(p.path) << '\n';
  } else {
    size_t valueWidth = 5;
    for (const LibraryTrendPoint& p : points) valueWidth = std::max(valueWidth, text(p.value).size());
    out << "subject: " << escapeText(subject->name) << '\n' << "metric: " << metric_ << '\n';
    out << "date                 " << padded("value", valueWidth) << "  file\n";
    for (size_t k = 0; k < points.size(); ++k)
      out << isoLocalTime(points[k].testTime) << "  " << padded(text(points[k].value), valueWidth) << "  "
          << escapeText(points[k].path) << (static_cast<int32_t>(k) == best ? "  (best)" : "") << '\n';
  }
  out.flush();
  return kExitOk;
}

int LibraryCommand::compare(CliIo& io) {
  if (files_.size() < static_cast<size_t>(kMinComparedTests) ||
      files_.size() > static_cast<size_t>(kMaxComparedTests)) {
    io.err << prefix() << "FILE: needs " << kMinComparedTests << " to " << kMaxComparedTests << " measurement files\n";
    return kExitUsage;
  }
  if (libraryPictureWriter() == nullptr) return fail(io, "this velkora-cli was built without pictures (Qt)");
  for (const std::string& file : files_)
    if (outputIsInput("library compare", file, output_, io)) return kExitFailure;
  SharedRecords& records = *records_;
  const MeasurementStore& store = records.store;
  std::vector<CompareCurve> curves;
  for (const std::string& file : files_) {
    if (!loadForCli(file, std::nullopt, records, io)) return kExitFailure;
    curves.push_back(
        compareCurve(store, store.testKind, compareLabel(records.subject.name, testTimeSeconds(store.testTime))));
  }
  return libraryPictureWriter()(
      output_, kLibraryPictureWidth, kLibraryPictureHeight,
      [&](DeviceContext& dc, const Rect& area) { drawCompareGraph(dc, area, curves); }, io);
}

int LibraryCommand::sync(CliIo& io) {
  std::unique_ptr<LibrarySession> session = open(io, {}, true);
  if (!session) return kExitFailure;
  const LibrarySendResult sent = session->sendOutbox();
  if (sent.waiting > 0 && !sent.status.ok()) io.err << prefix() << sent.status.message << '\n';
  io.out << testsWaitingText(sent.waiting) << '\n';
  io.out.flush();
  return sent.waiting == 0 ? kExitOk : kExitFailure;
}

const CliRegistration registration{
    {"library", "the subject library: scan, subjects, tests, trend, compare, sync",
     "The library is an index of the measurement files: every test with its subject, date and metrics. It is\n"
     "the file library.sqlite beside the DATA folder unless --library names another file or a team library on\n"
     "a PostgreSQL server (postgresql://USER@HOST/DATABASE or service=NAME; the password comes from ~/.pgpass,\n"
     "the service file or PGPASSWORD, never from Velkora). A file is made when first used, and a damaged one is\n"
     "moved aside and rebuilt from the files. Subjects are told apart by their names after trimming the spaces\n"
     "around them and folding letter case. Run 'velkora-cli library COMMAND --help' for a command's options.",
     makeCommand<LibraryCommand>}};

}  // namespace
}  // namespace velkora::cli
