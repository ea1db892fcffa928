#include "painting/graph_fonts.h"

namespace velkora {
namespace {

QFont dejaVuSans(int pixelSize) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

QFont screenFont() { return dejaVuSans(11); }

QFont paperFont() { return dejaVuSans(30); }

}  // namespace velkora
