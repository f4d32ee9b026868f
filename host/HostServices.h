#pragma once
// Host suites, acquired through the basic suite just before use and released
// in the same call. A suite the host cannot give (no basic suite, a failed
// acquire, a null table) is simply not available; that is no error.
#include <cstdint>

#include "host/HostSdk.h"

namespace tessaline {

// The name and version under which each suite that the plug-in uses is asked for.
template <typename Suite>
struct SuiteId;

template <>
struct SuiteId<PF_WorldSuite2> {
  static constexpr const char* kName = kPFWorldSuite;
  static constexpr std::int32_t kVersion = kPFWorldSuiteVersion2;
};

template <>
struct SuiteId<PF_ParamUtilsSuite3> {
  static constexpr const char* kName = kPFParamUtilsSuite;
  static constexpr std::int32_t kVersion = kPFParamUtilsSuiteVersion3;
};

// Holds one acquired suite table; releases it with the same name and version,
// only if the acquire returned kSPNoError and a non-null table.
class SuiteLease {
 public:
  SuiteLease(const PF_InData* in_data, const char* name, std::int32_t version) noexcept;
  ~SuiteLease();
  SuiteLease(const SuiteLease&) = delete;
  SuiteLease& operator=(const SuiteLease&) = delete;

  // The suite table, or null when it is not available.
  const void* Get() const noexcept { return suite_; }

 private:
  SPBasicSuite* basic_ = nullptr;
  const char* name_;
  std::int32_t version_;
  const void* suite_ = nullptr;
};

// ScopedSuite<PF_WorldSuite2> worlds(in_data);
// if (worlds) worlds->PF_GetPixelFormat(world, &format);
template <typename Suite>
class ScopedSuite {
 public:
  explicit ScopedSuite(const PF_InData* in_data) noexcept
      : lease_(in_data, SuiteId<Suite>::kName, SuiteId<Suite>::kVersion) {}

  const Suite* Get() const noexcept { return static_cast<const Suite*>(lease_.Get()); }
  const Suite* operator->() const noexcept { return Get(); }
  explicit operator bool() const noexcept { return Get() != nullptr; }

 private:
  SuiteLease lease_;
};

}  // namespace tessaline
