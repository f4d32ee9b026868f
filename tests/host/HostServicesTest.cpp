#include "host/HostServices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaline {
namespace {

// A basic suite whose AcquireSuite answers with a chosen error and table, and
// which records every release.
struct FakeBasicSuite {
  static inline SPErr acquireErr = kSPNoError;
  static inline const void* acquireTable = nullptr;
  static inline std::vector<std::string> acquired;
  static inline std::vector<std::string> released;

  static SPErr Acquire(const char* name, std::int32_t version, const void** suite) {
    acquired.push_back(std::string(name) + "/" + std::to_string(version));
    *suite = acquireTable;
    return acquireErr;
  }
  static SPErr Release(const char* name, std::int32_t version) {
    released.push_back(std::string(name) + "/" + std::to_string(version));
    return kSPNoError;
  }

  FakeBasicSuite(SPErr err, const void* table) {
    acquireErr = err;
    acquireTable = table;
    acquired.clear();
    released.clear();
    basic.AcquireSuite = &Acquire;
    basic.ReleaseSuite = &Release;
    inData.pica_basicP = &basic;
  }

  SPBasicSuite basic{};
  PF_InData inData{};
};

const PF_WorldSuite2 kWorldTable{};

TEST(HostServices, SuiteIsReleasedOnlyAfterASuccessfulAcquire) {
  struct Case {
    SPErr err;
    const void* table;
    bool available;
  };
  const Case cases[] = {
      {kSPNoError, &kWorldTable, true},
      {kSPNoError, nullptr, false},  // success without a table
      {1, &kWorldTable, false},      // failure that still wrote a table
      {0x53214664, nullptr, false},  // suite not found
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    FakeBasicSuite host(c.err, c.table);
    {
      ScopedSuite<PF_WorldSuite2> worlds(&host.inData);
      EXPECT_EQ(static_cast<bool>(worlds), c.available);
      EXPECT_EQ(worlds.Get(), c.available ? &kWorldTable : nullptr);
      EXPECT_TRUE(FakeBasicSuite::released.empty());  // held until the end of the scope
    }
    EXPECT_EQ(FakeBasicSuite::acquired, std::vector<std::string>{"PF World Suite/2"});
    EXPECT_EQ(FakeBasicSuite::released, c.available ? std::vector<std::string>{"PF World Suite/2"}
                                                    : std::vector<std::string>{});
  }
}

TEST(HostServices, ParamUtilsSuiteIsAskedForByItsNameAndVersion) {
  const PF_ParamUtilsSuite3 table{};
  FakeBasicSuite host(kSPNoError, &table);
  { ScopedSuite<PF_ParamUtilsSuite3> utils(&host.inData); }
  EXPECT_EQ(FakeBasicSuite::acquired, std::vector<std::string>{"PF Param Utils Suite/3"});
  EXPECT_EQ(FakeBasicSuite::released, std::vector<std::string>{"PF Param Utils Suite/3"});
}

TEST(HostServices, MissingBasicSuiteMeansNotAvailable) {
  PF_InData noBasic{};
  EXPECT_FALSE(ScopedSuite<PF_WorldSuite2>(&noBasic));
  EXPECT_FALSE(ScopedSuite<PF_WorldSuite2>(nullptr));

  FakeBasicSuite host(kSPNoError, &kWorldTable);
  host.basic.AcquireSuite = nullptr;
  EXPECT_FALSE(ScopedSuite<PF_WorldSuite2>(&host.inData));
  EXPECT_TRUE(FakeBasicSuite::released.empty());
}

}  // namespace
}  // namespace tessaline
