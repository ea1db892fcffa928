#pragma once
// The report list's header: 48 pixels high, every title on two centred lines over a grey cell.

#include <QHeaderView>

namespace velkora {

inline constexpr int kHeaderHeight = 48;

class CMLHeaderCtrl final : public QHeaderView {
  Q_OBJECT

 public:
  explicit CMLHeaderCtrl(QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace velkora
