#pragma once
// One test suite for every library backend: each backend's test file instantiates it with a factory
// (INSTANTIATE_TEST_SUITE_P(Name, LibraryBackendSuite, ::testing::Values(factory), backendName)), so the
// embedded and the server backend are held to the very same behaviour.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "library/library_backend.h"
#include "support/temp_dir.h"

namespace velkora::testing {

struct LibraryBackendFactory {
  std::string name;
  // A location of a new, empty library for one test; `scratch` is a private folder the test removes.
  // Empty when the backend cannot be tested here: the test then skips, giving `skipReason`.
  std::function<std::string(const std::string& scratch)> newLocation;
  // A backend on that location, not yet opened.
  std::function<std::unique_ptr<LibraryBackend>(const std::string& location)> make;
  // Removes what newLocation made outside the scratch folder (a server's database), when anything.
  std::function<void(const std::string& location)> release = {};
  std::function<std::string()> skipReason = {};
};

inline void PrintTo(const LibraryBackendFactory& factory, std::ostream* out) { *out << factory.name; }

class LibraryBackendSuite : public ::testing::TestWithParam<LibraryBackendFactory> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Another connection to the same library, opened.
  std::unique_ptr<LibraryBackend> connect();

  TempDir dir_;
  std::string location_;
  std::unique_ptr<LibraryBackend> backend_;
};

std::string backendName(const ::testing::TestParamInfo<LibraryBackendFactory>& info);

// A test entry as the scan would write it, with a few metrics of its kind.
LibraryTest sampleTest(const std::string& path, const std::string& name, TestKind kind, int64_t testTime,
                       double mainValue);

}  // namespace velkora::testing
