#pragma once
// The user guide window: README.md shown with its pictures, from the installed copy or the one beside
// the program.

#include <string>

class QWidget;

namespace velkora {

// Shows the user guide found for a program in `programDirectory`, or says it was not found.
void showUserGuide(QWidget* parent, const std::string& programDirectory);

}  // namespace velkora
