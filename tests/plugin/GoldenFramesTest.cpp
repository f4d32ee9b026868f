// The golden scenarios through the statically linked entry point. The digests
// in tests/support/GoldenFrames.h were printed by this test:
//
//   TESSALINE_PRINT_GOLDEN_FRAMES=1 build/native/tests/plugin/golden_frames_test
//
// and the loaded P_Tessaline.aex must draw the same frames under Wine
// (plugin_library_test). A mismatch means the pixels changed: find out why
// before printing the table again.
#include <gtest/gtest.h>

#include "host/EffectMain.h"
#include "tests/plugin/GoldenScenarios.h"

namespace tessaline::test {
namespace {

TEST(GoldenFramesTest, StaticEntryPointDrawsTheRecordedFrames) {
  CheckGoldenFrames(&EffectMain);
}

TEST(GoldenFramesTest, ScenarioNamesAreUnique) {
  const auto scenarios = GoldenScenarios();
  for (std::size_t i = 0; i < scenarios.size(); ++i) {
    for (std::size_t j = i + 1; j < scenarios.size(); ++j) {
      EXPECT_NE(scenarios[i].name, scenarios[j].name);
    }
  }
}

}  // namespace
}  // namespace tessaline::test
