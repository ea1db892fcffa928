#pragma once
// The fonts of the drawings: DejaVu Sans, sized so the texts fit the rectangles the graphs and the
// page give them (labels of 35 x 20 pixels on the screen, 4 mm high cells and 38 mm columns on paper).

#include <QFont>

namespace velkora {

// Screen texts, pixel size 11.
QFont screenFont();
// Paper texts, 3 mm font size in the paper mapping's 0.1 mm units.
QFont paperFont();

// Whether Qt found a font file to draw the text of `font` with. Without one (no font installed,
// fontconfig unable to read its files, no file descriptor left) Qt draws no text at all, and a page or
// picture drawn then would silently lack every label and number.
bool fontLoads(const QFont& font);

}  // namespace velkora
