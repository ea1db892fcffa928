#pragma once
// One strip of controls under the toolbar: the curve bar, the report bar, the repetition bar or the
// stop bar. Its buttons send their command ids; its lists report the entry the user picked.

#include <QWidget>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "reports/interval_list.h"

class QComboBox;
class QPushButton;

namespace velkora {

class DialogBar final : public QWidget {
  Q_OBJECT

 public:
  // A strip from its template number (cmd::kCurveBar, kReportBar, kRepetitionBar, kStopBar,
  // kMetricsBar).
  DialogBar(int32_t templateId, QWidget* parent);

  int32_t templateId() const { return templateId_; }
  QComboBox* list(int32_t controlId) const;
  QPushButton* button(int32_t commandId) const;

  // The report bar's interval list: `entries` made on demand, the first one chosen.
  void setIntervals(const IntervalList& entries);
  // Replaces a list's entries and chooses entry `selected` (none when it is outside the list).
  void fillList(int32_t controlId, const std::vector<std::string_view>& texts, int32_t selected);
  // The chosen entry of a list, -1 for none.
  int32_t currentSelection(int32_t controlId) const;

 signals:
  void command(int32_t commandId);
  void selectionChanged(int32_t controlId, int32_t entry);

 private:
  QPushButton* addButton(const QString& text, int32_t commandId, const QString& accessibleName = QString());
  // minimumCharacters 0: as wide as the widest entry.
  QComboBox* addList(const QString& label, int32_t controlId, int minimumCharacters);

  int32_t templateId_;
  std::map<int32_t, QComboBox*> lists_;
  std::map<int32_t, QPushButton*> buttons_;
};

}  // namespace velkora
