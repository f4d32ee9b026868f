#pragma once
// The seed corpus (tests/fuzz/corpus/*), embedded by the build.
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tessaline::fuzz {

struct CorpusEntry {
  const char* name;
  const std::uint8_t* data;
  std::size_t size;
};

extern const CorpusEntry kCorpus[];
extern const std::size_t kCorpusSize;

}  // namespace tessaline::fuzz
