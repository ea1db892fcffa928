#include "app/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "storage/configuration_file.h"

namespace velkora {

namespace {

std::string withSeparator(std::string directory) {
  if (directory.empty() || directory.back() != '/') directory.push_back('/');
  return directory;
}

}  // namespace

std::string runningExecutablePath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}

namespace {

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return {};
}

// XDG_DOCUMENTS_DIR="$HOME/Dokumente" from user-dirs.dirs; empty when the file does not name it.
std::string xdgDocumentsDirectory(const std::string& configHome, const std::string& home) {
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
    if (!line.starts_with(kKey) || line.size() < kKey.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(kKey.size(), line.size() - kKey.size() - 1);
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return {};
}

}  // namespace

UserLocations systemUserLocations() {
  const std::string home = homeDirectory();
  std::string configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    configHome = xdg;
  else if (!home.empty())
    configHome = home + "/.config";
  UserLocations user;
  if (!configHome.empty()) user.configDirectory = configHome + "/" + kUserDataParent;
  user.documentsDirectory = xdgDocumentsDirectory(configHome, home);
  if (user.documentsDirectory.empty() && !home.empty()) user.documentsDirectory = home + "/Documents";
  return user;
}

ProgramPaths systemProgramPaths() {
  const std::string executable = runningExecutablePath();
  const std::string directory = programDirectoryOf(executable);
  return resolveProgramPaths(executable, keepsFilesBesideProgram(directory), systemUserLocations());
}

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
  paths.libraryPath = withSeparator(parentDirectoryOf(paths.dataFolder)) + kLibraryDatabaseName;
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
