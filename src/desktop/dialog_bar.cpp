#include "desktop/dialog_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProxyStyle>
#include <QPushButton>
#include <tuple>

#include "desktop/models/interval_list_model.h"
#include "model/command_ids.h"

namespace velkora {
namespace {

// A drop-down list below the box instead of a popup over it: the popup form measures every entry to
// find its width, which takes a noticeable moment with 61000 intervals.
class DropDownListStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

DialogBar::DialogBar(int32_t templateId, QWidget* parent) : QWidget(parent), templateId_(templateId) {
  auto* layout = new QHBoxLayout(this);
  // Tight enough that the widest strip, the curve bar, fits a window on a screen of 800 x 600.
  layout->setContentsMargins(6, 3, 6, 3);
  layout->setSpacing(4);
  switch (templateId) {
    case cmd::kReportBar:
      setAccessibleName(QStringLiteral("reportBar"));
      addList(QString(), cmd::kIntervalList, 22);
      addButton(QStringLiteral("Copy"), cmd::kCopy);
      addButton(QStringLiteral("Copy All"), cmd::kCopyAll);
      addButton(QStringLiteral("Export csv"), cmd::kExportCsv);
      break;
    case cmd::kMetricsBar:
      setAccessibleName(QStringLiteral("metricsBar"));
      addButton(QStringLiteral("Copy"), cmd::kCopy);
      addButton(QStringLiteral("Copy All"), cmd::kCopyAll);
      addButton(QStringLiteral("Export csv"), cmd::kExportCsv);
      break;
    case cmd::kRepetitionBar:
      setAccessibleName(QStringLiteral("repetitionBar"));
      addButton(QStringLiteral("<<"), cmd::kPreviousRepetition, QStringLiteral("Previous repetition <<"));
      addButton(QStringLiteral(">>"), cmd::kNextRepetition, QStringLiteral("Next repetition >>"));
      break;
    case cmd::kCurveBar: {
      setAccessibleName(QStringLiteral("curveBar"));
      addList(QStringLiteral("Y1 parameter"), cmd::kY1List, 0);
      addList(QStringLiteral("Y2 parameter"), cmd::kY2List, 0);
      addButton(QStringLiteral("Zoom"), cmd::kZoom);
      addButton(QStringLiteral("Full"), cmd::kFullWindow);
      // The cursor buttons, each pair after its cursor's name.
      for (auto [name, left, right] : {std::tuple{"XL", cmd::kCursorLeftLeft, cmd::kCursorLeftRight},
                                       std::tuple{"XR", cmd::kCursorRightLeft, cmd::kCursorRightRight}}) {
        const QString title = QString::fromLatin1(name);
        auto* caption = new QLabel(title, this);
        caption->setAccessibleName(title);
        layout->addSpacing(6);
        layout->addWidget(caption);
        addButton(QStringLiteral("<<"), left, title + QStringLiteral(" <<"));
        addButton(QStringLiteral(">>"), right, title + QStringLiteral(" >>"));
      }
      // The bar's own entries; a force-test recording replaces them.
      fillList(cmd::kY1List, {"Vertical F (N)", "Horizontal F(N)", "Fvector(N)"}, -1);
      fillList(cmd::kY2List, {"Vertical F (N)", "Horizontal F(N)", "Fvector(N)"}, -1);
      break;
    }
    case cmd::kStopBar:
      setAccessibleName(QStringLiteral("stopBar"));
      addButton(QStringLiteral("STOP"), cmd::kStop);
      break;
    default:
      break;
  }
  layout->addStretch(1);
}

QPushButton* DialogBar::addButton(const QString& text, int32_t commandId, const QString& accessibleName) {
  auto* b = new QPushButton(text, this);
  b->setAccessibleName(accessibleName.isEmpty() ? text : accessibleName);
  // The view keeps the keyboard for the cursors; the bar's buttons are for the mouse.
  b->setFocusPolicy(Qt::NoFocus);
  b->setAutoDefault(false);
  // As wide as its text: the strip must fit the window's least width.
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(text) + 16);
  connect(b, &QPushButton::clicked, this, [this, commandId] { emit command(commandId); });
  layout()->addWidget(b);
  buttons_[commandId] = b;
  return b;
}

QComboBox* DialogBar::addList(const QString& label, int32_t controlId, int minimumCharacters) {
  QLabel* caption = nullptr;
  if (!label.isEmpty()) {
    caption = new QLabel(label, this);
    caption->setAccessibleName(label);
    layout()->addWidget(caption);
  }
  auto* combo = new QComboBox(this);
  if (caption != nullptr) caption->setBuddy(combo);
  combo->setAccessibleName(label.isEmpty() ? QStringLiteral("Interval") : label);
  // A short list is as wide as its widest entry, so no entry is cut off; a long one (the intervals) is
  // sized by a number of characters, never by measuring every entry.
  if (minimumCharacters > 0) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(minimumCharacters);
  } else {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  }
  combo->setMaxVisibleItems(20);
  if (auto* view = qobject_cast<QListView*>(combo->view())) view->setUniformItemSizes(true);
  auto* style = new DropDownListStyle();
  style->setParent(combo);
  combo->setStyle(style);
  connect(combo, &QComboBox::activated, this,
          [this, controlId](int entry) { emit selectionChanged(controlId, entry); });
  if (label.isEmpty()) combo->setToolTip(QStringLiteral("Interval"));
  layout()->addWidget(combo);
  lists_[controlId] = combo;
  return combo;
}

QComboBox* DialogBar::list(int32_t controlId) const {
  const auto it = lists_.find(controlId);
  return it == lists_.end() ? nullptr : it->second;
}

QPushButton* DialogBar::button(int32_t commandId) const {
  const auto it = buttons_.find(commandId);
  return it == buttons_.end() ? nullptr : it->second;
}

void DialogBar::setIntervals(const IntervalList& entries) {
  QComboBox* combo = list(cmd::kIntervalList);
  if (combo == nullptr) return;
  // The combo box deletes the model it had when that one was its child.
  combo->setModel(new IntervalListModel(entries, combo));
  combo->setCurrentIndex(entries.count > 0 ? 0 : -1);
}

void DialogBar::fillList(int32_t controlId, const std::vector<std::string_view>& texts, int32_t selected) {
  QComboBox* combo = list(controlId);
  if (combo == nullptr) return;
  const QSignalBlocker blocker(combo);
  combo->clear();
  for (std::string_view t : texts) combo->addItem(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())));
  combo->setCurrentIndex(selected >= 0 && selected < combo->count() ? selected : -1);
}

int32_t DialogBar::currentSelection(int32_t controlId) const {
  const QComboBox* combo = list(controlId);
  return combo == nullptr ? -1 : combo->currentIndex();
}

}  // namespace velkora
