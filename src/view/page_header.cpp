#include "view/page_header.h"

#include "reports/report_export.h"

namespace velkora {

std::string pageTitle(TestKind kind, PageContent content) {
  if (content == PageContent::Blank) return {};
  std::string title = "Orvel ";
  title.append(kind == TestKind::Power ? "Power" : "Force");
  title.append(content == PageContent::Report ? " - Digital report" : " - Graph report");
  return title;
}

std::string nameLine(std::string_view subjectName) {
  std::string line = "Name: ";
  line.append(subjectName);
  return line;
}

void drawHeader(DeviceContext& dc, const Rect& rect, std::string_view subjectName, int32_t testTime) {
  dc.rectangle(rect);
  const int32_t middle = rect.left + (rect.right - rect.left) / 2 + 10;
  dc.text({rect.left + 10, rect.top + 4, middle, rect.bottom - 2}, nameLine(subjectName), TextAlign::Left);
  dc.text({middle, rect.top + 4, rect.right, rect.bottom - 2}, testDateLine(testTime), TextAlign::Left);
}

}  // namespace velkora
