// velkora-cli with a server library: record and scan let the tests wait in the outbox while the server
// is out of reach (exit 0), library sync sends them and says how many still wait (exit 1 while any do),
// a reader's record and scan are refused; and record keeps the default library current.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program_records.h"
#include "cli/cli_command.h"
#include "library/library_location.h"
#include "library/library_outbox.h"
#include "library/sha256.h"
#include "support/cli_runner.h"
#include "support/measurement_files.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

namespace fs = std::filesystem;
using velkora::testing::CliResult;

constexpr const char* kJump = "--simulate=jump:62:450,fast";

// A velkora-cli whose program places are in a folder of the test: DATA and the default library.
class LibraryServerCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.file("DATA");
    fs::create_directory(data_);
    records_ = std::make_unique<ProgramRecords>();
    records_->paths.dataFolder = data_;
    records_->paths.libraryPath = dir_.file("library.sqlite");
  }
  CliResult run(const std::vector<std::string>& args) { return testing::runCommandLineOn(*records_, args); }

  testing::TempDir dir_;
  std::string data_;
  std::unique_ptr<ProgramRecords> records_;
};

TEST_F(LibraryServerCommands, WithTheServerOutOfReachTestsWaitAndSyncSaysHowMany) {
  const std::string server = "postgresql://coach:Secret-Pa55@/velkora?host=" + dir_.file("no-server");
  const std::string jump = data_ + "/jump.tsr";
  CliResult r = run({"record", "--power", "2", kJump, "--output", jump, "--library", server});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(fs::exists(jump)) << "the file is saved";
  EXPECT_NE(r.err.find("cannot be reached; the test waits in the outbox"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(1 tests waiting)"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Secret-Pa55"), std::string::npos) << r.err;

  struct Step {
    std::vector<std::string> args;
    int code;
    std::string out;
  };
  const Step steps[] = {
      {{"library", "sync", "--library", server}, kExitFailure, "1 tests waiting\n"},
      {{"library", "sync"}, kExitFailure, "1 tests waiting\n"},  // every server's tests, from the default file
      {{"library", "tests", "--library", server}, kExitFailure, ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.args[1] + (step.args.size() > 2 ? " --library" : ""));
    r = run(step.args);
    EXPECT_EQ(r.code, step.code) << r.err;
    EXPECT_EQ(r.out, step.out);
    EXPECT_NE(r.err.find("cannot be reached"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Secret-Pa55"), std::string::npos) << r.err;
  }

  // A scan: every measurement file waits (the jump already waits with these bytes).
  ASSERT_TRUE(testing::writeGeneratedTest(data_ + "/push.vkr", {"Bert", TestKind::Force}));
  r = run({"library", "scan", data_, "--library", server});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "added: 0\nupdated: 0\nunchanged: 0\nmissing: 0\nfailed: 0\nqueued: 2\n");
  EXPECT_NE(r.err.find("(2 tests waiting): velkora-cli library sync sends them"), std::string::npos) << r.err;
  r = run({"library", "sync", "--library", server});
  EXPECT_EQ(r.out, "2 tests waiting\n");

  // Without --library, record keeps the default library current.
  const std::string second = data_ + "/second.tsr";
  r = run({"record", "--power", "2", kJump, "--output", second});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("added to the library " + records_->paths.libraryPath), std::string::npos) << r.err;
  r = run({"library", "tests", "--csv"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find(second), std::string::npos) << r.out;

  // A velkora-cli without places (these tests' usual records) indexes nothing.
  r = testing::runCommandLine({"record", "--power", "2", kJump, "--output", dir_.file("elsewhere.tsr")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.err.find("library"), std::string::npos) << r.err;
}

TEST_F(LibraryServerCommands, SyncSendsWhatWaitsAndAReadersRecordAndScanAreRefused) {
  const std::string base = testing::testServerUri();
  if (base.empty()) GTEST_SKIP() << testing::noServerReason();
  const std::string server = testing::newTestDatabase(base);
  ASSERT_FALSE(server.empty());
  {
    // Two tests that waited for the server while it was away.
    std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(records_->paths.libraryPath);
    ASSERT_TRUE(box->open().ok());
    for (const char* name : {"a.tsr", "b.tsr"}) {
      OutboxItem item;
      item.server = withoutPassword(server);
      item.path = data_ + "/" + name;
      item.bytes = testing::generatedMeasurementBytes({std::string("Subject ") + name, TestKind::Power});
      item.contentHash = contentHash(item.bytes);
      int64_t id = 0;
      ASSERT_TRUE(box->enqueue(item, id).ok());
    }
  }
  CliResult r = run({"library", "sync", "--library", server});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "0 tests waiting\n");
  r = run({"library", "sync"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "0 tests waiting\n");
  r = run({"library", "subjects", "--csv", "--library", server});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("Subject a.tsr,1,0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Subject b.tsr,1,0,"), std::string::npos) << r.out;

  // A reader reads, and is refused when it would write; the file itself is saved all the same.
  const std::string reader = testing::withUser(server, "velkora_test_reader");
  r = run({"library", "tests", "--library", reader});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  const std::string jump = data_ + "/jump.tsr";
  r = run({"record", "--power", "2", kJump, "--output", jump, "--library", reader});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(fs::exists(jump));
  EXPECT_NE(r.err.find("the test was saved, but not added to the library"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("may only read it"), std::string::npos) << r.err;
  r = run({"library", "scan", data_, "--library", reader});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("may only read it"), std::string::npos) << r.err;
  r = run({"library", "sync"});
  EXPECT_EQ(r.out, "0 tests waiting\n") << "a refused test never waits";
  // Nor behind a test the reader queued while the server was away, which the server refuses as well.
  {
    std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(records_->paths.libraryPath);
    ASSERT_TRUE(box->open().ok());
    OutboxItem item;
    item.server = withoutPassword(reader);
    item.path = data_ + "/c.tsr";
    item.bytes = testing::generatedMeasurementBytes({"Subject c.tsr", TestKind::Power});
    item.contentHash = contentHash(item.bytes);
    int64_t id = 0;
    ASSERT_TRUE(box->enqueue(item, id).ok());
  }
  r = run({"record", "--power", "2", kJump, "--output", jump, "--library", reader});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("may only read it"), std::string::npos) << r.err;
  r = run({"library", "sync", "--library", reader});
  EXPECT_EQ(r.out, "1 tests waiting\n") << "the one queued before, not the new one";
  EXPECT_EQ(testing::sqlOnServer(server, "SELECT count(*) FROM velkora.tests"), "2");
  testing::dropTestDatabase(server);
}

}  // namespace
}  // namespace velkora::cli
