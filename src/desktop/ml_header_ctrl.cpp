#include "desktop/ml_header_ctrl.h"

#include <QPainter>

namespace velkora {
namespace {

const QColor kCellGrey(200, 200, 200);

}  // namespace

CMLHeaderCtrl::CMLHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  // Clicking a title neither sorts nor selects.
  setSectionsClickable(false);
  setSortIndicatorShown(false);
  setHighlightSections(false);
  setSectionsMovable(false);
  setFixedHeight(kHeaderHeight);
  setDefaultAlignment(Qt::AlignCenter);
}

QSize CMLHeaderCtrl::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  size.setHeight(kHeaderHeight);
  return size;
}

void CMLHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  painter->save();
  painter->setBrush(kCellGrey);
  painter->setPen(Qt::black);
  painter->drawRect(rect.adjusted(0, 0, -1, -1));

  // The title's two lines: before and after its first line break; a title without one is all
  // first line.
  const QString title = model() != nullptr ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  const qsizetype brk = title.indexOf(QLatin1Char('\n'));
  const QString upper = brk < 0 ? title : title.left(brk);
  const QString lower = brk < 0 ? QString() : title.mid(brk + 1);
  painter->setPen(Qt::black);
  painter->setBackground(kCellGrey);
  const QRect first(rect.left(), rect.top() + 2, rect.width(), 20);
  const QRect second(rect.left(), rect.top() + 22, rect.width(), 20);
  painter->drawText(first, Qt::AlignCenter | Qt::TextSingleLine, upper);
  painter->drawText(second, Qt::AlignCenter | Qt::TextSingleLine, lower);
  painter->restore();
}

}  // namespace velkora
