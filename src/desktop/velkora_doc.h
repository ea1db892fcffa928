#pragma once
// The document of the single-document window. It holds no data: the test lives in the measurement
// store and files are read and written by the file commands. It gives the window its title.

#include <QString>

namespace velkora {

class CVelkoraDoc {
 public:
  QString title() const { return QStringLiteral("Kestrane"); }
  // "Kestrane - velkora", the document's title before the program's.
  QString windowTitle() const { return title() + QStringLiteral(" - velkora"); }
};

}  // namespace velkora
