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

TEST(GoldenFrames, StaticEntryPointDrawsTheRecordedFrames) {
  CheckGoldenFrames(&EffectMain);
}

}  // namespace
}  // namespace tessaline::test
