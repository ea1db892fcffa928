// The behaviour every library backend shares: what is written comes back field for field, hostile text
// included; entries are replaced whole; missing marks, filters, orders, trends and transactions.

#include "library/library_backend_suite.h"

#include <algorithm>
#include <set>
#include <thread>

#include "library/subject_identity.h"

namespace velkora::testing {

void LibraryBackendSuite::SetUp() {
  location_ = GetParam().newLocation(dir_.path().string());
  if (location_.empty() && GetParam().skipReason) GTEST_SKIP() << GetParam().skipReason();
  ASSERT_FALSE(location_.empty());
  backend_ = connect();
  ASSERT_TRUE(backend_) << "cannot open " << location_;
}

void LibraryBackendSuite::TearDown() {
  backend_.reset();
  if (!location_.empty() && GetParam().release) GetParam().release(location_);
}

std::unique_ptr<LibraryBackend> LibraryBackendSuite::connect() {
  std::unique_ptr<LibraryBackend> backend = GetParam().make(location_);
  const LibraryStatus status = backend->open();
  EXPECT_TRUE(status.ok()) << status.message;
  return status.ok() ? std::move(backend) : nullptr;
}

std::string backendName(const ::testing::TestParamInfo<LibraryBackendFactory>& info) { return info.param.name; }

LibraryTest sampleTest(const std::string& path, const std::string& name, TestKind kind, int64_t testTime,
                       double mainValue) {
  LibraryTest test;
  test.path = path;
  test.stamp = {40123, testTime * 1000000000 + 123456789};
  test.contentHash = std::string(63, 'a') + static_cast<char>('0' + (testTime % 10));
  test.kind = kind;
  test.testTime = testTime;
  test.sampleCount = 5000;
  test.bodyWeight = 81.25f;
  test.subject = {name, 1, 0, 80, 182, "left leg", "", "after warm-up"};
  test.subjectKey = subjectKey(name);
  if (kind == TestKind::Power) {
    test.metrics = {
        {"sampleCount", MetricFormat::Integer, 5000.0, std::nullopt},
        {"jumpType", MetricFormat::Text, std::nullopt, std::string("CMJ")},
        {"jumpHeightTakeoffVelocity_cm", MetricFormat::Fixed2, mainValue, std::nullopt},
        {"contactTime_ms", MetricFormat::Integer, std::nullopt, std::nullopt},
        {"peakPropulsivePower_W", MetricFormat::Fixed1, 4321.5, std::nullopt},
    };
  } else {
    test.metrics = {
        {"repetitionCount", MetricFormat::Integer, 2.0, std::nullopt},
        {"peakForce_N", MetricFormat::Fixed1, mainValue, std::nullopt},
        {"rfd0to250_N_s", MetricFormat::Fixed0, std::nullopt, std::nullopt},
        {"rep1.peakForce_N", MetricFormat::Fixed1, mainValue - 10.0, std::nullopt},
        {"rep2.peakForce_N", MetricFormat::Fixed1, mainValue, std::nullopt},
    };
  }
  return test;
}

namespace {

LibraryStatus write(LibraryBackend& backend, const LibraryTest& test, int64_t* id = nullptr) {
  int64_t written = 0;
  LibraryStatus status = backend.writeTransaction([&] { return backend.upsertTest(test, written); });
  if (id != nullptr) *id = written;
  return status;
}

std::vector<std::string> subjectNames(LibraryBackend& backend, const std::string& search = "") {
  std::vector<LibrarySubject> subjects;
  EXPECT_TRUE(backend.listSubjects({search, -1, 0}, subjects).ok());
  std::vector<std::string> names;
  for (const LibrarySubject& s : subjects) names.push_back(s.name);
  return names;
}

std::vector<std::string> paths(const std::vector<LibraryTestEntry>& tests) {
  std::vector<std::string> found;
  for (const LibraryTestEntry& t : tests) found.push_back(t.path);
  return found;
}

void expectSameTest(const LibraryTestEntry& entry, const LibraryTest& test) {
  EXPECT_EQ(entry.path, test.path);
  EXPECT_EQ(entry.stamp, test.stamp);
  EXPECT_EQ(entry.contentHash, test.contentHash);
  EXPECT_EQ(entry.kind, test.kind);
  EXPECT_EQ(entry.testTime, test.testTime);
  EXPECT_EQ(entry.sampleCount, test.sampleCount);
  EXPECT_EQ(entry.bodyWeight, test.bodyWeight);
  EXPECT_EQ(entry.subject.name, test.subject.name);
  EXPECT_EQ(entry.subject.sex, test.subject.sex);
  EXPECT_EQ(entry.subject.height, test.subject.height);
  EXPECT_EQ(entry.subject.weight, test.subject.weight);
  EXPECT_EQ(entry.subject.comment1, test.subject.comment1);
  EXPECT_EQ(entry.subject.comment2, test.subject.comment2);
  EXPECT_EQ(entry.subject.comment3, test.subject.comment3);
  EXPECT_FALSE(entry.missing);
}

}  // namespace

TEST_P(LibraryBackendSuite, WritesATestAndReadsEveryFieldBack) {
  EXPECT_GT(backend_->schemaVersion(), 0);
  const LibraryTest test = sampleTest("/data/DATA/jump 1.tsr", "Anna Meier", TestKind::Power, 1714550400, 32.41);
  int64_t id = 0;
  ASSERT_TRUE(write(*backend_, test, &id).ok());

  // Through another connection, so nothing comes from a cache.
  std::unique_ptr<LibraryBackend> reader = connect();
  ASSERT_TRUE(reader);
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(reader->testByPath(test.path, entry).ok());
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->id, id);
  expectSameTest(*entry, test);

  std::vector<StoredMetric> metrics;
  ASSERT_TRUE(reader->testMetrics(id, metrics).ok());
  EXPECT_EQ(metrics, test.metrics) << "every value, n/a as nothing, the text, in the order written";

  std::vector<LibraryTestEntry> sameBytes;
  ASSERT_TRUE(reader->testsByHash(test.contentHash, sameBytes).ok());
  ASSERT_EQ(sameBytes.size(), 1u);
  EXPECT_EQ(sameBytes[0].id, id);

  std::optional<LibrarySubject> subject;
  ASSERT_TRUE(reader->subjectByKey("anna meier", subject).ok());
  ASSERT_TRUE(subject);
  EXPECT_EQ(subject->name, "Anna Meier");
  EXPECT_EQ(subject->testCount, 1);
  EXPECT_EQ(subject->missingCount, 0);
  EXPECT_EQ(subject->lastTestTime, test.testTime);
  EXPECT_EQ(entry->subjectId, subject->id);

  std::vector<LibraryMetricKey> keys;
  ASSERT_TRUE(reader->metricKeys(keys).ok());
  for (const StoredMetric& m : test.metrics) {
    auto it = std::find_if(keys.begin(), keys.end(), [&](const LibraryMetricKey& k) { return k.key == m.key; });
    ASSERT_NE(it, keys.end()) << m.key;
    EXPECT_EQ(it->format, m.format) << m.key;
  }
  std::optional<LibraryTestEntry> none;
  ASSERT_TRUE(reader->testByPath("/data/DATA/jump 2.tsr", none).ok());
  EXPECT_FALSE(none);

  // A key written in another format (a newer program's): the format last written holds.
  LibraryTest newer = sampleTest("/data/DATA/jump 3.tsr", "Anna Meier", TestKind::Power, 1714560000, 33.0);
  newer.metrics[4].format = MetricFormat::Fixed2;
  ASSERT_TRUE(write(*backend_, newer).ok());
  ASSERT_TRUE(reader->metricKeys(keys).ok());
  const auto power = std::find_if(keys.begin(), keys.end(),
                                  [](const LibraryMetricKey& k) { return k.key == "peakPropulsivePower_W"; });
  ASSERT_NE(power, keys.end());
  EXPECT_EQ(power->format, MetricFormat::Fixed2);
}

TEST_P(LibraryBackendSuite, HostileTextIsStoredAndGivenBackVerbatim) {
  std::string longName;
  while (longName.size() < 10000) longName += "Zoë O'Neil \"; DROP TABLE tests; -- ";
  longName.resize(10000);
  const std::string names[] = {
      "O'Brien",
      "\"quoted\" \"\"name\"\"",
      "Robert'); DROP TABLE tests;--",
      "x' OR '1'='1",
      "100% _match_ \\ back\\slash",
      "line\nbreak\r\nand\ttab",
      "\x01\x02\x1b[31mred\x1b[0m\x7f",
      std::string("nul\0inside", 10),
      "\u202Eevil\u202C \u2066isolate\u2069 \u2028sep",
      "emoji \U0001F3CB\uFE0F\u200D\u2640\uFE0F \U0001D518\U0001D52B",
      longName,
      "",
  };
  for (size_t k = 0; k < std::size(names); ++k) {
    LibraryTest test = sampleTest("/data/it's \"q\";--\n" + std::to_string(k) + ".vkr", names[k], TestKind::Force,
                                  1700000000 + static_cast<int64_t>(k), 900.0);
    test.subject.comment1 = names[k];
    test.subject.comment3 = names[k] + names[k];
    ASSERT_TRUE(write(*backend_, test).ok()) << k;
  }
  for (size_t k = 0; k < std::size(names); ++k) {
    SCOPED_TRACE(k);
    const std::string path = "/data/it's \"q\";--\n" + std::to_string(k) + ".vkr";
    std::optional<LibraryTestEntry> entry;
    ASSERT_TRUE(backend_->testByPath(path, entry).ok());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->path, path);
    EXPECT_EQ(entry->subject.name, names[k]);
    EXPECT_EQ(entry->subject.comment1, names[k]);
    EXPECT_EQ(entry->subject.comment3, names[k] + names[k]);
    std::optional<LibrarySubject> subject;
    ASSERT_TRUE(backend_->subjectByKey(subjectKey(names[k]), subject).ok());
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->name, names[k]);
    EXPECT_EQ(subject->testCount, 1);
    // Searching for the name itself finds it, and the search text is never taken as a pattern.
    const std::vector<std::string> found = subjectNames(*backend_, subjectKey(names[k]));
    EXPECT_NE(std::find(found.begin(), found.end(), names[k]), found.end());
  }
  std::vector<LibraryTestEntry> all;
  ASSERT_TRUE(backend_->listTests({}, all).ok());
  EXPECT_EQ(all.size(), std::size(names)) << "every table is still there";
  EXPECT_EQ(subjectNames(*backend_).size(), std::size(names));
  EXPECT_EQ(subjectNames(*backend_, "%"), std::vector<std::string>{"100% _match_ \\ back\\slash"});
  EXPECT_EQ(subjectNames(*backend_, "_m"), std::vector<std::string>{"100% _match_ \\ back\\slash"});
}

TEST_P(LibraryBackendSuite, AnEntryIsReplacedWholeAndTheSubjectNameFollowsTheNewestTest) {
  LibraryTest first = sampleTest("/data/a.vkr", "Anna Meier", TestKind::Force, 1700000000, 900.0);
  int64_t id = 0;
  ASSERT_TRUE(write(*backend_, first, &id).ok());

  // The same file saved again for another subject, with fewer metrics.
  LibraryTest again = sampleTest("/data/a.vkr", "Bert Brun", TestKind::Power, 1700000100, 30.0);
  again.metrics.resize(2);
  int64_t againId = 0;
  ASSERT_TRUE(write(*backend_, again, &againId).ok());
  EXPECT_EQ(againId, id) << "one entry per path";
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(backend_->testByPath("/data/a.vkr", entry).ok());
  ASSERT_TRUE(entry);
  expectSameTest(*entry, again);
  std::vector<StoredMetric> metrics;
  ASSERT_TRUE(backend_->testMetrics(id, metrics).ok());
  EXPECT_EQ(metrics, again.metrics);
  EXPECT_EQ(subjectNames(*backend_), std::vector<std::string>{"Bert Brun"}) << "a subject without tests is gone";

  // One subject, typed three ways: the name shown is the one of the newest test.
  ASSERT_TRUE(write(*backend_, sampleTest("/data/b.vkr", "bert brun", TestKind::Force, 1700000200, 1.0)).ok());
  EXPECT_EQ(subjectNames(*backend_), std::vector<std::string>{"bert brun"});
  ASSERT_TRUE(write(*backend_, sampleTest("/data/c.vkr", " BERT BRUN ", TestKind::Force, 1600000000, 1.0)).ok());
  EXPECT_EQ(subjectNames(*backend_), std::vector<std::string>{"bert brun"}) << "an older test changes nothing";
  std::optional<LibrarySubject> subject;
  ASSERT_TRUE(backend_->subjectByKey("bert brun", subject).ok());
  ASSERT_TRUE(subject);
  EXPECT_EQ(subject->testCount, 3);
}

TEST_P(LibraryBackendSuite, MissingMarksAndStamps) {
  int64_t a = 0, b = 0;
  ASSERT_TRUE(write(*backend_, sampleTest("/d/a.tsr", "Anna", TestKind::Power, 1700000000, 30.0), &a).ok());
  ASSERT_TRUE(write(*backend_, sampleTest("/d/b.tsr", "Anna", TestKind::Power, 1700500000, 31.0), &b).ok());
  ASSERT_TRUE(backend_->writeTransaction([&] { return backend_->setMissing(b, true); }).ok());

  std::optional<LibrarySubject> subject;
  ASSERT_TRUE(backend_->subjectByKey("anna", subject).ok());
  EXPECT_EQ(subject->testCount, 1);
  EXPECT_EQ(subject->missingCount, 1);
  EXPECT_EQ(subject->lastTestTime, 1700000000) << "the newest present test";
  LibraryTestQuery query;
  std::vector<LibraryTestEntry> tests;
  ASSERT_TRUE(backend_->listTests(query, tests).ok());
  ASSERT_EQ(tests.size(), 2u);
  EXPECT_TRUE(tests[1].missing);
  query.includeMissing = false;
  ASSERT_TRUE(backend_->listTests(query, tests).ok());
  EXPECT_EQ(paths(tests), std::vector<std::string>{"/d/a.tsr"});

  // Back in place with a new stamp: present again.
  const FileStamp stamp{99, 1234567890123456789};
  ASSERT_TRUE(backend_->writeTransaction([&] { return backend_->updateStamp(b, stamp); }).ok());
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(backend_->testByPath("/d/b.tsr", entry).ok());
  EXPECT_FALSE(entry->missing);
  EXPECT_EQ(entry->stamp, stamp);
  ASSERT_TRUE(backend_->subjectByKey("anna", subject).ok());
  EXPECT_EQ(subject->testCount, 2);
  EXPECT_EQ(subject->lastTestTime, 1700500000);
}

TEST_P(LibraryBackendSuite, FileStatesCoverAFolderAndNothingBesideIt) {
  const std::string inside[] = {"/data/a/x.vkr", "/data/a/sub/y.tsr", "/data/a/sub/deeper/z.vkr"};
  const std::string outside[] = {"/data/ab/x.vkr", "/data/a b/x.vkr", "/data/a.x/x.vkr", "/data/x.vkr", "/data/a"};
  int64_t t = 1700000000;
  for (const std::string& path : inside)
    ASSERT_TRUE(write(*backend_, sampleTest(path, "A", TestKind::Force, ++t, 1)).ok());
  for (const std::string& path : outside)
    ASSERT_TRUE(write(*backend_, sampleTest(path, "A", TestKind::Force, ++t, 1)).ok());
  for (const std::string& folder : {std::string("/data/a"), std::string("/data/a/")}) {
    std::vector<LibraryFileState> states;
    ASSERT_TRUE(backend_->fileStatesUnder(folder, states).ok());
    std::set<std::string> found;
    for (const LibraryFileState& s : states) found.insert(s.path);
    EXPECT_EQ(found, std::set<std::string>(std::begin(inside), std::end(inside))) << folder;
  }
  std::vector<LibraryFileState> states;
  ASSERT_TRUE(backend_->fileStatesUnder("/", states).ok());
  EXPECT_EQ(states.size(), std::size(inside) + std::size(outside));
  const LibraryTest probe = sampleTest("/data/a/x.vkr", "A", TestKind::Force, 1700000001, 1);
  ASSERT_TRUE(backend_->fileStatesUnder("/data/a/sub/deeper", states).ok());
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0].path, "/data/a/sub/deeper/z.vkr");
  EXPECT_EQ(states[0].stamp.size, probe.stamp.size);
  EXPECT_FALSE(states[0].missing);
}

TEST_P(LibraryBackendSuite, TestQueriesFilterAndOrder) {
  struct Row {
    const char* path;
    const char* name;
    TestKind kind;
    int64_t time;
  };
  const Row rows[] = {
      {"/d/3.tsr", "Anna", TestKind::Power, 1700000300}, {"/d/1.vkr", "anna", TestKind::Force, 1700000100},
      {"/d/2.tsr", "Bert", TestKind::Power, 1700000200}, {"/d/4.vkr", "ANNA", TestKind::Force, 1700000300},
      {"/d/0.tsr", "Anna", TestKind::Power, 1700000000},
  };
  for (const Row& r : rows) ASSERT_TRUE(write(*backend_, sampleTest(r.path, r.name, r.kind, r.time, 10.0)).ok());

  std::vector<LibraryTestEntry> tests;
  LibraryTestQuery all;
  ASSERT_TRUE(backend_->listTests(all, tests).ok());
  EXPECT_EQ(paths(tests), (std::vector<std::string>{"/d/0.tsr", "/d/1.vkr", "/d/2.tsr", "/d/3.tsr", "/d/4.vkr"}))
      << "oldest first, equal times in the order they were added";
  all.newestFirst = true;
  ASSERT_TRUE(backend_->listTests(all, tests).ok());
  EXPECT_EQ(paths(tests), (std::vector<std::string>{"/d/4.vkr", "/d/3.tsr", "/d/2.tsr", "/d/1.vkr", "/d/0.tsr"}));

  LibraryTestQuery anna;
  anna.subjectKey = "anna";
  ASSERT_TRUE(backend_->listTests(anna, tests).ok());
  EXPECT_EQ(paths(tests), (std::vector<std::string>{"/d/0.tsr", "/d/1.vkr", "/d/3.tsr", "/d/4.vkr"}));
  anna.kind = TestKind::Power;
  anna.since = 1700000001;
  ASSERT_TRUE(backend_->listTests(anna, tests).ok());
  EXPECT_EQ(paths(tests), std::vector<std::string>{"/d/3.tsr"});

  LibraryTestQuery page;
  page.limit = 2;
  page.offset = 1;
  page.kind = TestKind::Power;
  ASSERT_TRUE(backend_->listTests(page, tests).ok());
  EXPECT_EQ(paths(tests), (std::vector<std::string>{"/d/2.tsr", "/d/3.tsr"}));

  LibraryTestQuery nobody;
  nobody.subjectKey = "nobody";
  ASSERT_TRUE(backend_->listTests(nobody, tests).ok());
  EXPECT_TRUE(tests.empty());

  // Values asked for with the tests: n/a and keys a test lacks give nothing.
  LibraryTestQuery values;
  values.metricKeys = {"jumpHeightTakeoffVelocity_cm", "contactTime_ms", "peakForce_N", "noSuchKey"};
  ASSERT_TRUE(backend_->listTests(values, tests).ok());
  ASSERT_EQ(tests.size(), 5u);
  const std::vector<std::optional<double>> power{10.0, std::nullopt, std::nullopt, std::nullopt};
  const std::vector<std::optional<double>> force{std::nullopt, std::nullopt, 10.0, std::nullopt};
  EXPECT_EQ(tests[0].metrics, power);
  EXPECT_EQ(tests[1].metrics, force);
}

TEST_P(LibraryBackendSuite, SubjectSearchIsACaseFoldedSubstring) {
  int64_t t = 1700000000;
  for (const char* name : {"Anna Meier", "Hannah Roth", "Jürgen Ångström", "ΣΩΚΡΑΤΗΣ Π.", "Bert"}) {
    ASSERT_TRUE(write(*backend_, sampleTest(std::string("/d/") + name + ".vkr", name, TestKind::Force, ++t, 1)).ok());
  }
  EXPECT_EQ(subjectNames(*backend_, foldCase("ANN")), (std::vector<std::string>{"Anna Meier", "Hannah Roth"}));
  EXPECT_EQ(subjectNames(*backend_, foldCase("ÅNGS")), std::vector<std::string>{"Jürgen Ångström"});
  EXPECT_EQ(subjectNames(*backend_, foldCase("σωκρατησ")), std::vector<std::string>{"ΣΩΚΡΑΤΗΣ Π."});
  EXPECT_EQ(subjectNames(*backend_, "").size(), 5u);
  EXPECT_TRUE(subjectNames(*backend_, "zzz").empty());
  std::vector<LibrarySubject> page;
  ASSERT_TRUE(backend_->listSubjects({"", 2, 1}, page).ok());
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[0].name, "Bert") << "in the order of the keys: anna, bert, hannah, ...";
  EXPECT_EQ(page[1].name, "Hannah Roth");
}

TEST_P(LibraryBackendSuite, TrendGivesPresentValuesOldestFirst) {
  int64_t missing = 0;
  LibraryTest naTest = sampleTest("/d/na.tsr", "Anna", TestKind::Power, 1700000400, 0);
  naTest.metrics[2].value.reset();
  ASSERT_TRUE(write(*backend_, sampleTest("/d/c.tsr", "Anna", TestKind::Power, 1700000300, 33.0)).ok());
  ASSERT_TRUE(write(*backend_, sampleTest("/d/a.tsr", "ANNA", TestKind::Power, 1700000100, 31.0)).ok());
  ASSERT_TRUE(write(*backend_, naTest).ok());
  ASSERT_TRUE(write(*backend_, sampleTest("/d/m.tsr", "Anna", TestKind::Power, 1700000200, 99.0), &missing).ok());
  ASSERT_TRUE(write(*backend_, sampleTest("/d/b.tsr", "Bert", TestKind::Power, 1700000150, 40.0)).ok());
  ASSERT_TRUE(write(*backend_, sampleTest("/d/f.vkr", "Anna", TestKind::Force, 1700000250, 900.0)).ok());
  ASSERT_TRUE(backend_->writeTransaction([&] { return backend_->setMissing(missing, true); }).ok());

  std::vector<LibraryTrendPoint> points;
  ASSERT_TRUE(backend_->trend({"anna", "jumpHeightTakeoffVelocity_cm"}, points).ok());
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].testTime, 1700000100);
  EXPECT_EQ(points[0].value, 31.0);
  EXPECT_EQ(points[0].path, "/d/a.tsr");
  EXPECT_EQ(points[1].testTime, 1700000300);
  EXPECT_EQ(points[1].value, 33.0);
  ASSERT_TRUE(backend_->trend({"anna", "rep2.peakForce_N"}, points).ok());
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].value, 900.0);
  ASSERT_TRUE(backend_->trend({"nobody", "rep2.peakForce_N"}, points).ok());
  EXPECT_TRUE(points.empty());
}

TEST_P(LibraryBackendSuite, AFailedTransactionLeavesNothingBehind) {
  LibraryTest test = sampleTest("/d/a.tsr", "Anna", TestKind::Power, 1700000000, 30.0);
  test.metrics.push_back({"brandNewKey_cm", MetricFormat::Fixed2, 1.5, std::nullopt});
  const LibraryStatus failed = backend_->writeTransaction([&] {
    int64_t id = 0;
    if (LibraryStatus s = backend_->upsertTest(test, id); !s.ok()) return s;
    return LibraryStatus::failure(LibraryErrorKind::Failed, "stopped on purpose");
  });
  EXPECT_EQ(failed.message, "stopped on purpose");
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(backend_->testByPath(test.path, entry).ok());
  EXPECT_FALSE(entry);
  EXPECT_TRUE(subjectNames(*backend_).empty());
  std::vector<LibraryMetricKey> keys;
  ASSERT_TRUE(backend_->metricKeys(keys).ok());
  EXPECT_TRUE(
      std::none_of(keys.begin(), keys.end(), [](const LibraryMetricKey& k) { return k.key == "brandNewKey_cm"; }));

  // The key the rolled-back work made is made again, not taken from memory.
  int64_t id = 0;
  ASSERT_TRUE(write(*backend_, test, &id).ok());
  std::vector<StoredMetric> metrics;
  ASSERT_TRUE(backend_->testMetrics(id, metrics).ok());
  EXPECT_EQ(metrics, test.metrics);

  // Writing outside a transaction is refused.
  int64_t outside = 0;
  EXPECT_FALSE(backend_->upsertTest(sampleTest("/d/b.tsr", "B", TestKind::Power, 1, 1), outside).ok());
  EXPECT_FALSE(backend_->setMissing(id, true).ok());
}

TEST_P(LibraryBackendSuite, ConnectionsWritingAtOnceLoseNothing) {
  constexpr int kWriters = 3;
  constexpr int kTestsEach = 60;
  std::vector<std::unique_ptr<LibraryBackend>> connections;
  for (int w = 0; w < kWriters; ++w) connections.push_back(connect());
  std::vector<std::string> errors(kWriters);
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int k = 0; k < kTestsEach; ++k) {
        const LibraryTest test = sampleTest("/d/w" + std::to_string(w) + "/" + std::to_string(k) + ".tsr",
                                            "Subject " + std::to_string(k % 7), TestKind::Power, 1700000000 + k, k);
        const LibraryStatus s = write(*connections[static_cast<size_t>(w)], test);
        if (!s.ok()) {
          errors[static_cast<size_t>(w)] = s.message;
          return;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  std::vector<LibraryTestEntry> tests;
  ASSERT_TRUE(backend_->listTests({}, tests).ok());
  EXPECT_EQ(tests.size(), static_cast<size_t>(kWriters * kTestsEach));
  EXPECT_EQ(subjectNames(*backend_).size(), 7u);
}

}  // namespace velkora::testing
