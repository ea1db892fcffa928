#pragma once
// What the window remembers of its view between runs, beside the recent files in the user's
// settings file (velkora.ini): whether the curve graph shows the phases of a jump.

#include <QString>

namespace velkora {

// True when nothing was remembered yet (or `settingsPath` is empty).
bool readShowPhases(const QString& settingsPath);
void writeShowPhases(const QString& settingsPath, bool show);

}  // namespace velkora
