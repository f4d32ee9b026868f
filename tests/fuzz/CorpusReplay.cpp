// Replays the seed corpus, compiled in, through the session checks: the
// corpus is a regression test in every build, the Windows one under Wine too.
#include <cstdio>

#include "tests/fuzz/CorpusData.h"
#include "tests/fuzz/FuzzSession.h"

int main() {
  using namespace tessaline::fuzz;
  for (std::size_t i = 0; i < kCorpusSize; ++i) {
    std::printf("%s (%zu bytes)\n", kCorpus[i].name, kCorpus[i].size);
    std::fflush(stdout);
    RunSession(kCorpus[i].data, kCorpus[i].size);
  }
  std::printf("%zu sessions replayed\n", kCorpusSize);
  return kCorpusSize > 0 ? 0 : 1;
}
