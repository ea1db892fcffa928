#include "painting/graph_fonts.h"

#include <QFontInfo>

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

// Qt's stand-in when no font could be loaded draws nothing (or empty boxes) and has no family name.
bool fontLoads(const QFont& font) { return !QFontInfo(font).family().isEmpty(); }

}  // namespace velkora
