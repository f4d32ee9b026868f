#include "host/HostServices.h"

namespace tessaline {

SuiteLease::SuiteLease(const PF_InData* in_data, const char* name, std::int32_t version) noexcept
    : name_(name), version_(version) {
  SPBasicSuite* basic = in_data != nullptr ? in_data->pica_basicP : nullptr;
  if (basic == nullptr || basic->AcquireSuite == nullptr) return;
  const void* suite = nullptr;
  if (basic->AcquireSuite(name, version, &suite) == kSPNoError && suite != nullptr) {
    basic_ = basic;
    suite_ = suite;
  }
}

SuiteLease::~SuiteLease() {
  if (suite_ != nullptr && basic_->ReleaseSuite != nullptr) basic_->ReleaseSuite(name_, version_);
}

}  // namespace tessaline
