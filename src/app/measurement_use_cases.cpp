#include "app/measurement_use_cases.h"

#include "reports/jump_analysis.h"
#include "reports/report_export.h"
#include "storage/binary_io.h"
#include "storage/measurement_file.h"

namespace velkora {

void analyseRecording(MeasurementStore& store) {
  if (store.testKind == TestKind::Power) computeJumpResults(store);
}

bool openMeasurement(SharedRecords records, const std::string& path, TestKind kind, MessageSink& messages,
                     std::error_code* openError) {
  records.paths.currentFilePath = path;
  if (!readMeasurementFile(path, kind, records.store, records.subject, messages, openError)) return false;
  analyseRecording(records.store);
  return true;
}

bool saveMeasurement(SharedRecords records, const std::string& path, MessageSink& messages, std::error_code* error) {
  records.paths.currentFilePath = path;
  return writeMeasurementFile(path, records.store, records.subject, messages, error);
}

bool exportReport(const SharedRecords& records, const DigitalReport& report, const std::string& path, char separator,
                  MessageSink& messages, std::error_code* error) {
  const std::string text = csvExportText(report, records.subject.name, records.store.testTime, separator);
  if (writeFileAtomically(path, text, error)) return true;
  messages.showMessage(msg::kFileSaveError);
  return false;
}

}  // namespace velkora
