#include "reports/report_table.h"

namespace velkora {

HeaderLines splitHeader(std::string_view header) {
  const size_t brk = header.find('\n');
  if (brk == std::string_view::npos) return {header, {}};
  return {header.substr(0, brk), header.substr(brk + 1)};
}

void ReportRows::reset(int32_t columnCount, size_t rowHint, size_t textHint) {
  columns_ = columnCount > 0 ? columnCount : 0;
  text_.clear();
  ends_.clear();
  text_.reserve(textHint);
  ends_.reserve(rowHint * static_cast<size_t>(columns_));
}

std::string_view ReportRows::cell(int32_t row, int32_t column) const {
  if (row < 0 || column < 0 || column >= columns_ || row >= rowCount()) return {};
  const size_t index = static_cast<size_t>(row) * columns_ + column;
  const uint32_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_).substr(begin, ends_[index] - begin);
}

size_t ReportRows::rowTextSize(int32_t row) const {
  if (row < 0 || row >= rowCount()) return 0;
  const size_t first = static_cast<size_t>(row) * columns_;
  const uint32_t begin = first == 0 ? 0 : ends_[first - 1];
  return ends_[first + columns_ - 1] - begin;
}

}  // namespace velkora
