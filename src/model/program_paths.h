#pragma once
// Where the running program keeps its files, and the measurement file it works on.

#include <string>

namespace velkora {

struct ProgramPaths {
  std::string programDirectory;  // the running program's folder, ending with a separator
  std::string configPath;        // the configuration file
  std::string dataFolder;        // the folder the file commands start in, no trailing separator
  std::string libraryPath;       // the subject library: "library.sqlite" beside the data folder
  std::string currentFilePath;   // the measurement file last opened or saved; empty when none
};

}  // namespace velkora
