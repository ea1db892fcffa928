#pragma once
// Where the program keeps its configuration and its measurement files. A program run from a folder
// it can write (its build folder, an unpacked copy) keeps "velkora.cfg" and "DATA" beside itself; an
// installed program whose folder it cannot write keeps the configuration in the per-user
// configuration folder and "DATA" in the user's documents under "Velkora".

#include <string>

#include "model/program_paths.h"

namespace velkora {

inline constexpr char kDataFolderName[] = "DATA";
inline constexpr char kUserDataParent[] = "Velkora";
inline constexpr char kLibraryDatabaseName[] = "library.sqlite";

// The per-user places the caller's platform offers, used when the program's folder is not writable.
struct UserLocations {
  std::string configDirectory;     // e.g. ~/.config/Velkora
  std::string documentsDirectory;  // e.g. ~/Documents
};

// The running program's own file (from /proc/self/exe); empty when the system does not say.
std::string runningExecutablePath();

// The per-user places without Qt, as Qt names them on Linux: $XDG_CONFIG_HOME (or ~/.config) with
// "Velkora", and the documents folder of ~/.config/user-dirs.dirs (or ~/Documents).
UserLocations systemUserLocations();

// The paths of the running program as the desktop program resolves them at start (used by velkora-cli,
// which has no Qt to ask).
ProgramPaths systemProgramPaths();

// The program's folder of an executable path: everything up to and including its last separator.
std::string programDirectoryOf(const std::string& executablePath);

// Whether a file can be created in `directory` (tried, not guessed from permission bits, so
// read-only mounts and the superuser are judged right).
bool directoryIsWritable(const std::string& directory);

// Whether the program was installed: its folder is the "bin" of a prefix that holds the program's
// documentation (share/doc/velkora). An installed program keeps its files in the per-user places even
// when it may write its folder (the superuser may write /usr/bin).
bool isInstalledProgram(const std::string& programDirectory);

// Whether the configuration and "DATA" stay beside the program: a folder the program can write that
// is not an installation.
bool keepsFilesBesideProgram(const std::string& programDirectory);

// The paths of a run: beside the program when its folder is writable, the per-user places otherwise.
ProgramPaths resolveProgramPaths(const std::string& executablePath, bool programDirectoryWritable,
                                 const UserLocations& user);

// The user guide (README.md) of this program: the installed copy (share/doc/velkora beside the
// program's "bin"), the one of an unpacked copy beside the program, or the one of the source tree a
// build folder ("build/bin") lies in. Empty when there is none.
std::string findUserGuide(const std::string& programDirectory);

// Creates a folder and its missing parents; true when it exists afterwards.
bool ensureDirectory(const std::string& directory);

// The parent folder of a file path ("" when it has none).
std::string parentDirectoryOf(const std::string& path);

}  // namespace velkora
