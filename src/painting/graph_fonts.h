#pragma once
// The fonts of the drawings: DejaVu Sans, sized so the texts fit the rectangles the graphs and the
// page give them (labels of 35 x 20 pixels on the screen, 4 mm high cells and 38 mm columns on paper).

#include <QFont>

namespace velkora {

// Screen texts, pixel size 11.
QFont screenFont();
// Paper texts, 3 mm font size in the paper mapping's 0.1 mm units.
QFont paperFont();

}  // namespace velkora
