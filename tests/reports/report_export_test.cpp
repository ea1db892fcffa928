#include "reports/report_export.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "report_fixtures.h"
#include "reports/digital_reports.h"

namespace velkora {
namespace {

using testing::makeStore;

// A force report of five one-sample rows: vertical 10, 20, ..., 50 N.
DigitalReport fiveRows() {
  auto store = makeStore({{5, 0}}, TestKind::Force);
  for (int i = 0; i < 5; ++i) store->channels.vertical[i] = 10 * (i + 1);
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  return report;
}

// Runs with the given time zone and puts the previous one back.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(ReportExport, HeaderLinesSplitAtTheFirstLineBreak) {
  EXPECT_EQ(splitHeader("Vertical Force \n(N)").upper, "Vertical Force ");
  EXPECT_EQ(splitHeader("\nTOUCH DOWN").upper, "");
  EXPECT_EQ(splitHeader("\nTOUCH DOWN").lower, "TOUCH DOWN");
  EXPECT_EQ(splitHeader("a\nb\nc").lower, "b\nc");
  EXPECT_EQ(splitHeader("no break").upper, "no break");
  EXPECT_EQ(splitHeader("no break").lower, "");

  std::string text;
  appendHeaderLines(repetitionColumns, ";", text);
  EXPECT_EQ(text,
            "Repetition;Vertical Max Force;Vertical Mean Force;Horizontal Max Force;Horizontal Mean Force;\r\n"
            "(#);(N);(N);(N);(N);\r\n");
}

TEST(ReportExport, CopySelectedRowsInOrder) {
  const DigitalReport report = fiveRows();
  CollectingMessageSink messages;
  std::string text;
  const int32_t selection[] = {4, 1, 4, 99};  // unordered, repeated, and one row the report does not have
  ASSERT_TRUE(copySelectedText(report, selection, text, messages));
  EXPECT_EQ(text,
            "Time interval  Vertical Force   Horizontal Force  Vector Force  \r\n"
            "(ms)  (N)  (N)  (N)  \r\n"
            "       2 -       2  20.0   0.0  20.0\r\n"
            "       5 -       5  50.0   0.0  50.0\r\n");
  EXPECT_TRUE(messages.messages.empty());

  std::string untouched = "before";
  EXPECT_FALSE(copySelectedText(report, {}, untouched, messages));
  EXPECT_EQ(untouched, "before");
  EXPECT_EQ(messages.messages, std::vector<std::string>{std::string(msg::kNoItemsSelected)});
}

TEST(ReportExport, CopyAll) {
  const DigitalReport report = fiveRows();
  const std::string text = copyAllText(report);
  const std::string last = "       5 -       5  50.0   0.0  50.0\r\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  size_t lines = 0;
  for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++lines;
  EXPECT_EQ(lines, 7u);

  // An empty report still gives its two header lines.
  DigitalReport empty;
  empty.columns = &summaryColumns;
  empty.rows.reset(summaryColumns.count);
  EXPECT_EQ(copyAllText(empty),
            "   "
            "   "
            "   "
            "PHASE  "
            "  "
            "   "
            "\r\n"
            "   "
            "TAKE OFF  "
            "   "
            "   "
            "TOUCH DOWN  "
            "   "
            "\r\n");
}

TEST(ReportExport, CsvText) {
  TimeZone zone("CET-1");  // one hour east of UTC, no summer time
  const DigitalReport report = fiveRows();
  // 3 February 2013, 13:05:09 UTC is 14:05:09 here.
  const std::string text = csvExportText(report, "", 1359896709, ';');
  const std::string head =
      "Name: \r\n\r\n"
      "Date: 03.02.2013  at  14:05:09\r\n\r\n"
      "Time interval;Vertical Force ;Horizontal Force;Vector Force;\r\n"
      "(ms);(N);(N);(N);\r\n"
      "       1 -       1;  10.0;   0.0;  10.0;\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  const std::string last = "       5 -       5;  50.0;   0.0;  50.0;\r\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);

  const std::string named = csvExportText(report, "Anna Nov\xC3\xA1kov\xC3\xA1", 1359896709, ',');
  EXPECT_EQ(named.substr(0, 25), "Name: Anna Nov\xC3\xA1kov\xC3\xA1\r\n\r\n");
  EXPECT_NE(named.find("(ms),(N),(N),(N),\r\n"), std::string::npos);
}

TEST(ReportExport, DateLinePastTheYear2038) {
  TimeZone zone("UTC0");
  // 1 June 2040 12:00:00 UTC, kept as the low 32 bits of the clock.
  EXPECT_EQ(testDateLine(static_cast<int32_t>(static_cast<uint32_t>(2222164800u))), "Date: 01.06.2040  at  12:00:00");
  EXPECT_EQ(testDateLine(0), "Date: 01.01.1970  at  00:00:00");
}

TEST(ReportExport, SeparatorFollowsTheDecimalMark) {
  EXPECT_EQ(csvSeparatorForLocale(), ',');
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  const char separator = csvSeparatorForLocale();
  auto store = makeStore({{2, 15}}, TestKind::Force);
  store->channels.vertical[1] = 16;
  DigitalReport report;
  fillIntervalReport(*store, 2, false, report);
  const std::string text = csvExportText(report, "x", 0, separator);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(separator, ';');
  EXPECT_NE(text.find("       1 -       2;  15,5;   0,0;  15,5;\r\n"), std::string::npos) << text;
}

TEST(ReportExport, NameLineCanNeverAddLinesOrCells) {
  const struct {
    std::string name;
    char separator;
    std::string line;
  } cases[] = {
      // Names without the separator, a quote or a control character: exactly the bytes as before.
      {"Anna Nov\xC3\xA1kov\xC3\xA1", ';', "Name: Anna Nov\xC3\xA1kov\xC3\xA1"},
      {"Smith, John", ';', "Name: Smith, John"},
      {"", ',', "Name: "},
      // Control characters become spaces: CR, LF, NUL, TAB, DEL and the C1 controls.
      {"Ann\r\nDate: 01.01.2000", ';', "Name: Ann  Date: 01.01.2000"},
      {std::string("a\0b\tc\x7F"
                   "d",
                   7),
       ';', "Name: a b c d"},
      {"x\xC2\x85y\xC2\x9Fz\xC2\xA0", ';', "Name: x y z\xC2\xA0"},  // NEL and APC go, NBSP stays
      // The separator or a quote: the whole cell is one quoted field, inner quotes doubled.
      {"Smith; John", ';', "\"Name: Smith; John\""},
      {"Smith, John", ',', "\"Name: Smith, John\""},
      {"Anna \"Ann\" Lee", ';', "\"Name: Anna \"\"Ann\"\" Lee\""},
      {"=cmd;x\n\"", ';', "\"Name: =cmd;x \"\"\""},
  };
  const DigitalReport report = fiveRows();
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.name));
    EXPECT_EQ(csvNameLine(c.name, c.separator), c.line);
    const std::string text = csvExportText(report, c.name, 0, c.separator);
    EXPECT_EQ(text.substr(0, c.line.size() + 4), c.line + "\r\n\r\n");
    // Seven header and row lines follow the name and date lines, whatever the name.
    size_t lineEnds = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) ++lineEnds;
    EXPECT_EQ(lineEnds, 4u + 2u + 5u);
  }
}

// Characters that turn text around or break the line in a spreadsheet or an editor become spaces; their
// neighbours in the same UTF-8 blocks stay as they are.
TEST(ReportExport, NameLineTurnsLineAndDirectionControlsIntoSpaces) {
  const struct {
    const char* character;
    bool becomesSpace;
  } cases[] = {
      {"\xE2\x80\xA8", true},   // U+2028 line separator
      {"\xE2\x80\xA9", true},   // U+2029 paragraph separator
      {"\xE2\x80\xAA", true},   // U+202A left-to-right embedding
      {"\xE2\x80\xAB", true},   // U+202B right-to-left embedding
      {"\xE2\x80\xAC", true},   // U+202C pop directional formatting
      {"\xE2\x80\xAD", true},   // U+202D left-to-right override
      {"\xE2\x80\xAE", true},   // U+202E right-to-left override
      {"\xE2\x81\xA6", true},   // U+2066 left-to-right isolate
      {"\xE2\x81\xA7", true},   // U+2067 right-to-left isolate
      {"\xE2\x81\xA8", true},   // U+2068 first strong isolate
      {"\xE2\x81\xA9", true},   // U+2069 pop directional isolate
      {"\xE2\x80\xA7", false},  // U+2027 hyphenation point
      {"\xE2\x80\xAF", false},  // U+202F narrow no-break space
      {"\xE2\x81\xA5", false},  // U+2065
      {"\xE2\x81\xAA", false},  // U+206A
      {"\xE2\x82\xAC", false},  // U+20AC euro sign
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.character)));
    const std::string name = std::string("Ann") + c.character + "Lee";
    EXPECT_EQ(csvNameLine(name, ';'), c.becomesSpace ? "Name: Ann Lee" : "Name: " + name);
  }
  // A sequence cut short at the end of the name is not one of them.
  EXPECT_EQ(csvNameLine("Ann\xE2\x80", ';'), "Name: Ann\xE2\x80");
}

TEST(ReportExport, UsableSeparators) {
  for (const char separator : {';', ',', '|', '/', 'x', '#', '\''})
    EXPECT_TRUE(isUsableCsvSeparator(separator)) << separator;
  for (const char separator : {' ', '"', '0', '7', '9', '+', '-', '\t', '\n', '\r', '\0', '\x7F', '\xA7', '\xC2'})
    EXPECT_FALSE(isUsableCsvSeparator(separator)) << static_cast<int>(separator);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  const bool comma = isUsableCsvSeparator(',');
  const bool point = isUsableCsvSeparator('.');
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_FALSE(comma) << "the decimal mark of the locale";
  EXPECT_TRUE(point);
  EXPECT_FALSE(isUsableCsvSeparator('.')) << "the decimal mark of the C locale";
}

TEST(ReportExport, HeaderPartsHoldingTheSeparatorAreQuoted) {
  // Beside a decimal comma the point is a separator, and one header reads "(m/(s.s))".
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  auto store = makeStore({{2, 15}}, TestKind::Power);
  DigitalReport report;
  fillDigitalReport(*store, 2, report);
  const bool usable = isUsableCsvSeparator('.');
  const std::string text = csvExportText(report, "", 0, '.');
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_TRUE(usable);
  EXPECT_NE(text.find("\r\n(ms).(N).\"(m/(s.s))\".(m/s).(cm).(W).\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace velkora
