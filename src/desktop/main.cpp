// velkora: the desktop program.

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/program_records.h"
#include "desktop/command_line.h"
#include "desktop/signal_watcher.h"
#include "desktop/velkora_app.h"

namespace {

// The program's one instance of each shared record, for the whole run.
velkora::ProgramRecords programRecords;

int usageError(const std::string& error) {
  std::fprintf(stderr, "velkora: %s\n%s", error.c_str(), velkora::usageText().c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);  // a save beyond the file size limit is a "File Save Error", not the end
  // Help and our own long options are answered before the windowing system is needed; the
  // windowing system's options (one dash) are left to it.
  std::vector<std::string> raw(argv + 1, argv + argc);
  for (const std::string& arg : raw) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(velkora::usageText().c_str(), stdout);
      return 0;
    }
  }
  {
    std::vector<std::string> longOptions;
    for (size_t k = 0; k < raw.size(); ++k) {
      if (raw[k].rfind("--", 0) != 0) continue;
      longOptions.push_back(raw[k]);
      // The value of an option given as a separate word.
      if (raw[k] == "--library" && k + 1 < raw.size()) longOptions.push_back(raw[++k]);
    }
    velkora::StartOptions probe;
    std::string error;
    if (velkora::parseCommandLine(longOptions, probe, error) == velkora::CommandLineResult::UsageError) {
      return usageError(error);
    }
  }

  // Qt takes its own options out of argv; what remains are ours, with their bytes as given, so a
  // file name that is not UTF-8 still opens.
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velkora"));
  QApplication::setDesktopFileName(QStringLiteral("velkora"));

  const std::vector<std::string> args(argv + 1, argv + argc);
  velkora::StartOptions options;
  std::string error;
  if (velkora::parseCommandLine(args, options, error) != velkora::CommandLineResult::Run) return usageError(error);

  velkora::CVelkoraApp app(programRecords.shared(), velkora::systemEnvironment());
  // A signal during start-up (a message box may be waiting) ends the program before its main loop.
  bool quitRequested = false;
  velkora::SignalWatcher signalWatcher([&quitRequested, &app] {
    quitRequested = true;
    app.saveBeforeTermination();
    QCoreApplication::exit(0);
  });
  if (!app.initInstance(options)) return 1;
  const int status = quitRequested ? 0 : QApplication::exec();
  app.exitInstance();
  return status;
}
