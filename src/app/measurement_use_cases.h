#pragma once
// Measurement files and reports as the program opens, saves and exports them, for the window and
// velkora-cli alike.

#include <string>
#include <system_error>

#include "acquisition/measurement_store.h"
#include "model/messages.h"
#include "model/shared_records.h"
#include "reports/report_table.h"

namespace velkora {

// The jump analysis of the store's recording when it is a power test; nothing for a force test.
void analyseRecording(MeasurementStore& store);

// Open: the file at `path` as a test of `kind` becomes the current recording and file, and a power
// test is analysed. A file that does not load changes no record but the current file's name, shows
// the program's message and, where the file could not be read, gives the reason in `openError`.
bool openMeasurement(SharedRecords records, const std::string& path, TestKind kind, MessageSink& messages,
                     std::error_code* openError = nullptr);

// Save: writes the current recording and subject to `path` atomically, which becomes the current
// file. "File Save Error" on failure, with the reason in `error`.
bool saveMeasurement(SharedRecords records, const std::string& path, MessageSink& messages,
                     std::error_code* error = nullptr);

// Export csv: the report with the subject's name and the test's date, written atomically to `path`.
// "File Save Error" on failure, with the reason in `error`.
bool exportReport(const SharedRecords& records, const DigitalReport& report, const std::string& path, char separator,
                  MessageSink& messages, std::error_code* error = nullptr);

}  // namespace velkora
