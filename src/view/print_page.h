#pragma once
// The printed page in 0.1 mm with y upwards from the top-left corner of the printable area: the title
// box, the name and date lines, and then the curve graph with its readouts, the bar graph, or the
// report as a ruled table. A report longer than one page continues on further pages, each with the
// title box, the name and date lines and the column titles repeated.

#include <array>
#include <cstdint>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "reports/report_table.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"
#include "view/device_context.h"
#include "view/page_header.h"

namespace velkora {

inline constexpr int32_t kPageWidth = 1900;  // the widest element, the report table
inline constexpr Rect kPageReadoutArea{0, -350, 1800, -450};
inline constexpr Rect kPageCurveArea{120, -550, 1700, -1050};
inline constexpr Rect kPageBarArea{120, -550, 1680, -1050};
inline constexpr int32_t kReportBodyTop = -540;
inline constexpr int32_t kReportRowPitch = 80;  // 8 mm per row

// Everything a print job draws from.
struct PrintDocument {
  const MeasurementStore& store;
  const GraphSettings& settings;
  std::string_view subjectName;
  PageContent content = PageContent::Blank;
  CurveGraphView curve{};                 // CurveGraph
  BarGraphView bars{};                    // BarGraph
  const DigitalReport* report = nullptr;  // Report: its layout and rows as the list shows them
};

// The left edges of the report table's columns and the right edge of the last, in 0.1 mm from the
// table's left: the layout's print widths, scaled down in proportion when together they are wider than
// the ruled box (the repetition report's add up to 1940 in a box of kPageWidth).
std::array<int32_t, kMaxReportColumns + 1> printedColumnEdges(const ReportColumnTable& columns);

// Report rows that fit above the bottom of a printable area `printableHeight` units high (at least 1).
int32_t reportRowsPerPage(int32_t printableHeight);

// Pages of the document: the report's rows spread over pages, one page for everything else (a blank
// one for PageContent::Blank).
int32_t pageCount(const PrintDocument& document, int32_t printableHeight);

// Draws page `pageIndex` (0-based); a page beyond the document, and a blank document, draw nothing.
void drawPage(DeviceContext& dc, const PrintDocument& document, int32_t pageIndex, int32_t printableHeight);

}  // namespace velkora
