#include "app/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "storage/configuration_file.h"

namespace velkora {

namespace {

std::string withSeparator(std::string directory) {
  if (directory.empty() || directory.back() != '/') directory.push_back('/');
  return directory;
}

}  // namespace

std::string programDirectoryOf(const std::string& executablePath) {
  const size_t slash = executablePath.find_last_of('/');
  if (slash == std::string::npos) return "./";
  return executablePath.substr(0, slash + 1);
}

bool directoryIsWritable(const std::string& directory) {
  std::string probe = withSeparator(directory) + ".velkora-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool isInstalledProgram(const std::string& programDirectory) {
  std::error_code error;
  return std::filesystem::is_directory(withSeparator(programDirectory) + "../share/doc/velkora", error);
}

bool keepsFilesBesideProgram(const std::string& programDirectory) {
  return !isInstalledProgram(programDirectory) && directoryIsWritable(programDirectory);
}

ProgramPaths resolveProgramPaths(const std::string& executablePath, bool programDirectoryWritable,
                                 const UserLocations& user) {
  ProgramPaths paths;
  paths.programDirectory = programDirectoryOf(executablePath);
  if (programDirectoryWritable || user.configDirectory.empty() || user.documentsDirectory.empty()) {
    paths.configPath = paths.programDirectory + std::string(kConfigurationFileName);
    paths.dataFolder = paths.programDirectory + kDataFolderName;
  } else {
    paths.configPath = withSeparator(user.configDirectory) + std::string(kConfigurationFileName);
    paths.dataFolder = withSeparator(user.documentsDirectory) + kUserDataParent + "/" + kDataFolderName;
  }
  return paths;
}

std::string findUserGuide(const std::string& programDirectory) {
  const std::string dir = withSeparator(programDirectory);
  for (const char* candidate : {"../share/doc/velkora/README.md", "README.md", "../../README.md"}) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::path(dir + candidate).lexically_normal();
    if (std::filesystem::is_regular_file(path, error)) return path.string();
  }
  return {};
}

bool ensureDirectory(const std::string& directory) {
  std::error_code error;
  if (std::filesystem::is_directory(directory, error)) return true;
  std::filesystem::create_directories(directory, error);
  return std::filesystem::is_directory(directory, error);
}

std::string parentDirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace velkora
