// libFuzzer entry: every input is one whole session (SessionScript.h).
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/FuzzSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaline::fuzz::RunSession(data, size);
  return 0;
}
