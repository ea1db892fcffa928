#pragma once
// The column layouts of the digital reports and the rows of cell texts a report is made of.
// Rows are kept as text only, exactly as the list shows them; copying, exporting and printing read
// them back from here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkora {

inline constexpr int32_t kMaxReportColumns = 6;

// Column count, widths in pixels on screen and in 0.1 mm on paper, and two-line headers ("upper\nlower").
struct ReportColumnTable {
  int32_t count = 0;
  std::array<int32_t, kMaxReportColumns> screenWidths{};
  std::array<int32_t, kMaxReportColumns> printWidths{};
  std::array<std::string_view, kMaxReportColumns> headers{};
};

inline constexpr ReportColumnTable forceIntervalColumns{
    4,
    {120, 150, 150, 150},
    {420, 380, 380, 380},
    {"Time interval\n(ms)", "Vertical Force \n(N)", "Horizontal Force\n(N)", "Vector Force\n(N)"}};

inline constexpr ReportColumnTable powerIntervalColumns{
    6,
    {110, 110, 110, 110, 110, 110},
    {320, 280, 280, 280, 280, 280},
    {"Time interval\n(ms)", "Force\n(N)", "Acceleration\n(m/(s.s))", "Velocity\n(m/s)", "Height\n(cm)", "Power\n(W)"}};

inline constexpr ReportColumnTable heightReportColumns{3, {250, 110, 60}, {520, 280, 120}, {" \n ", " \n ", " \n "}};

inline constexpr ReportColumnTable summaryColumns{6,
                                                  {240, 110, 100, 60, 110, 100},
                                                  {640, 280, 240, 140, 280, 280},
                                                  {" \n ", " \nTAKE OFF", " \n ", "PHASE\n ", "\nTOUCH DOWN", " \n "}};

inline constexpr ReportColumnTable repetitionColumns{
    5,
    {120, 150, 150, 150, 150},
    {420, 380, 380, 380, 380},
    {"Repetition\n(#)", "Vertical Max Force\n(N)", "Vertical Mean Force\n(N)", "Horizontal Max Force\n(N)",
     "Horizontal Mean Force\n(N)"}};

// A header's two lines: the text before its first line break and the text after it. A header without
// a line break is all upper line.
struct HeaderLines {
  std::string_view upper;
  std::string_view lower;
};
HeaderLines splitHeader(std::string_view header);

// Cell texts in row order, all in one buffer so a report of 61000 rows costs a handful of allocations.
class ReportRows {
 public:
  // Empties the rows and sets the number of cells per row; the hints reserve room for what follows.
  void reset(int32_t columnCount, size_t rowHint = 0, size_t textHint = 0);

  // Cells are appended row after row; a row is complete after columnCount cells.
  void appendCell(std::string_view text) {
    text_.append(text);
    ends_.push_back(static_cast<uint32_t>(text_.size()));
  }

  int32_t columnCount() const { return columns_; }
  int32_t rowCount() const { return columns_ > 0 ? static_cast<int32_t>(ends_.size() / columns_) : 0; }
  // The text of a cell; empty for a row or column the report does not have.
  std::string_view cell(int32_t row, int32_t column) const;
  // Bytes of all cell texts of one row together.
  size_t rowTextSize(int32_t row) const;
  size_t totalTextSize() const { return text_.size(); }

 private:
  int32_t columns_ = 0;
  std::string text_;
  std::vector<uint32_t> ends_;  // end offset in text_ of every cell, row-major
};

// One built report: its layout and its rows.
struct DigitalReport {
  const ReportColumnTable* columns = &forceIntervalColumns;
  ReportRows rows;
};

}  // namespace velkora
