#pragma once
// The library Setup -> Library... chose, kept in the user's settings file (velkora.ini, beside the recent
// files): a library file's path or a server's location, never with a password (libpq finds that in
// ~/.pgpass, a service file or PGPASSWORD). --library on the command line overrides it for one run.

#include <QString>
#include <string>

namespace velkora {

// The chosen location; empty when none was chosen (the default library file is used).
std::string readLibraryChoice(const QString& settingsPath);
// Keeps `location` without its password; an empty location forgets the choice.
void writeLibraryChoice(const QString& settingsPath, const std::string& location);

// The library of a run: --library when given, else the choice of Setup -> Library..., else the default.
std::string libraryOfRun(const std::string& commandLine, const std::string& chosen, const std::string& defaultFile);

}  // namespace velkora
