#include "desktop/dialogs/yaxes_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "desktop/dialogs/data_exchange.h"
#include "model/messages.h"

namespace velkora {
namespace {

constexpr const char* kRowLabels[CYaxesDlg::kRows] = {"F vertical (N)", "F horizontal (N)", "F vector (N)",
                                                      "v (m/s)",        "h (cm)",           "P (W)"};
constexpr const char* kColumnTitles[3] = {"MIN", "MAX", "STEP"};

}  // namespace

CYaxesDlg::CYaxesDlg(GraphSettings& graph, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Y-axes settings & Graph options")), graph_(graph) {
  auto* column = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  column->addLayout(grid);
  for (int c = 0; c < 3; ++c) {
    auto* title = new QLabel(QString::fromLatin1(kColumnTitles[c]), this);
    title->setAlignment(Qt::AlignCenter);
    grid->addWidget(title, 0, c + 1);
  }
  const int32_t* values[3] = {graph.axisMin, graph.axisMax, graph.axisStep};
  for (int32_t r = 0; r < kRows; ++r) {
    const QString rowLabel = QString::fromUtf8(kRowLabels[r]);
    grid->addWidget(new QLabel(rowLabel, this), r + 1, 0);
    for (int32_t c = 0; c < 3; ++c) {
      auto* e =
          add(kEdits[r][c], new QLineEdit(this), rowLabel + QLatin1Char(' ') + QString::fromLatin1(kColumnTitles[c]));
      e->setAlignment(Qt::AlignCenter);
      // A minus sign can be typed in the MIN column only.
      if (c > 0) e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
      e->setText(QString::number(values[c][r]));
      grid->addWidget(e, r + 1, c + 1);
    }
  }
  column->addWidget(addOkCancel());
  edit(0, 0)->setFocus(Qt::OtherFocusReason);
}

QLineEdit* CYaxesDlg::edit(int32_t row, int32_t column) const { return control<QLineEdit>(kEdits[row][column]); }

bool CYaxesDlg::exchange() {
  int32_t minimum[kRows];
  int32_t maximum[kRows];
  int32_t step[kRows];
  DataExchange dx(this);
  for (int32_t r = 0; r < kRows; ++r) {
    dx.integer(edit(r, 0), minimum[r]);
    dx.integer(edit(r, 1), maximum[r]);
    dx.integer(edit(r, 2), step[r]);
  }
  if (!dx.ok()) return false;
  // The graphs divide by the range: a minimum must lie below its maximum.
  const int32_t bad = firstAxisRowWithoutRange(minimum, maximum, kRows);
  if (bad >= 0) return dx.fail(edit(bad, 1), msg::kMaximumAboveMinimum);
  for (int32_t r = 0; r < kRows; ++r) {
    graph_.axisMin[r] = minimum[r];
    graph_.axisMax[r] = maximum[r];
    graph_.axisStep[r] = step[r];
  }
  return true;
}

}  // namespace velkora
