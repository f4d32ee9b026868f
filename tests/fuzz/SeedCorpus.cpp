// Writes the seed corpus of the session fuzzer: one small script per kind of
// session worth starting from. Run it after a change to SessionScript.h and
// commit the result:
//
//   build/native/tests/fuzz/tessaline-fuzz-seeds tests/fuzz/corpus
//
// A fault the fuzzer finds is fixed with a regression case here (regression-*),
// the crashing input restated as a script, so that it keeps meaning the same
// session when the format changes.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "core/ParamIndex.h"
#include "host/HostSdk.h"
#include "minihost/FaultPlan.h"
#include "minihost/World.h"
#include "tests/fuzz/SessionScript.h"

namespace tessaline::fuzz {
namespace {

enum EffectId : std::uint8_t { kFailing = 0, kNullResult = 1, kNoData = 2 };
enum DepthId : std::uint8_t { k8 = 0, k16 = 1, kFloat = 2 };

class Seed {
 public:
  Seed& Op(Op op) {
    w_.Step(op);
    return *this;
  }
  Seed& Frame(DepthId depth, std::uint16_t width, std::uint16_t height, std::int32_t rowbytes = 0) {
    Output(depth, width, height, rowbytes);
    return Layer(depth, width, height, rowbytes);
  }
  Seed& Output(DepthId depth, std::uint16_t width, std::uint16_t height, std::int32_t rowbytes) {
    return World(kSetOutput, depth, width, height, rowbytes);
  }
  Seed& Layer(DepthId depth, std::uint16_t width, std::uint16_t height, std::int32_t rowbytes) {
    return World(kSetLayer, depth, width, height, rowbytes);
  }
  Seed& Double(ParamIndex index, double v) {
    w_.Step(kSetControl).U8(std::uint8_t(index)).U8(kValueRawDouble).F64(v);
    return *this;
  }
  Seed& Integer(ParamIndex index, std::int32_t v) {
    w_.Step(kSetControl).U8(std::uint8_t(index)).U8(kValueRawInteger).I32(v);
    return *this;
  }
  Seed& Changed(std::int32_t index) {
    w_.Step(kUserChanged).U8(std::uint8_t(index + 1));
    return *this;
  }
  Seed& Render() {
    w_.Step(kSmartPreRender).Step(kSmartRender).U8(0).Step(kReleaseFrame).U8(0);
    return *this;
  }
  Seed& SmartRender() {
    w_.Step(kSmartRender).U8(0);
    return *this;
  }
  Seed& Legacy() { return Op(kLegacyRender); }
  Seed& Fault(HostCall call, std::uint8_t nth, EffectId effect = kFailing, std::uint8_t error = 1,
              std::int32_t arg = -1, bool repeat = false) {
    w_.Step(kAddFault).U8(std::uint8_t(call)).U8(std::uint8_t(nth - 1)).U8(effect).U8(error);
    w_.U8(std::uint8_t(arg + 1)).U8(repeat ? 1 : 0);
    return *this;
  }
  Seed& Nulls(std::uint32_t mask) {
    w_.Step(kSetNulls).U32(mask);
    return *this;
  }
  Seed& NullParams(std::uint32_t mask) {
    w_.Step(kSetNullParams).U32(mask);
    return *this;
  }
  Seed& Raw(std::int32_t selector) {
    w_.Step(kRawCommand).I32(selector);
    return *this;
  }
  Seed& Downsample(std::int32_t xn, std::uint32_t xd, std::int32_t yn, std::uint32_t yd) {
    w_.Step(kSetDownsample).I32(xn).U32(xd).I32(yn).U32(yd);
    return *this;
  }
  Seed& Format(std::uint8_t world, std::int32_t format) {
    w_.Step(kSetFormat).U8(world).I32(format);
    return *this;
  }
  Seed& WorldFlags(std::uint8_t world, std::int32_t flags) {
    w_.Step(kSetWorldFlags).U8(world).I32(flags);
    return *this;
  }
  Seed& Suites(std::uint8_t bits) {
    w_.Step(kSetSuites).U8(bits);
    return *this;
  }
  Seed& LayerSize(std::int32_t width, std::int32_t height) {
    w_.Step(kSetLayerSize).I32(width).I32(height);
    return *this;
  }
  Seed& Rects(PF_LRect request, PF_LRect max) {
    w_.Step(kSetRequest).I32(request.left).I32(request.top).I32(request.right).I32(request.bottom);
    w_.U8(0);
    w_.Step(kSetCheckoutRects).I32(0).I32(0).I32(0).I32(0);
    w_.I32(max.left).I32(max.top).I32(max.right).I32(max.bottom);
    return *this;
  }
  Seed& Request(PF_LRect rect) {
    w_.Step(kSetRequest).I32(rect.left).I32(rect.top).I32(rect.right).I32(rect.bottom).U8(0);
    return *this;
  }
  Seed& InputOrigin(std::int16_t x, std::int16_t y) {
    w_.Step(kSetInputOrigin).U16(std::uint16_t(x)).U16(std::uint16_t(y));
    return *this;
  }
  Seed& OutputWindow(WorldMargins m, std::int32_t rowbytes) {
    w_.Step(kSetOutputWindow).U8(std::uint8_t(m.left)).U8(std::uint8_t(m.top));
    w_.U8(std::uint8_t(m.right)).U8(std::uint8_t(m.bottom)).I32(rowbytes);
    return *this;
  }
  Seed& Fill(FillKind kind, std::uint8_t seed) {
    w_.Step(kFillLayer).U8(kind).U8(seed);
    return *this;
  }
  Seed& EmptyInputAsNull(bool null) {
    w_.Step(kSetEmptyInput).U8(null ? 1 : 0);
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return w_.bytes(); }

 private:
  Seed& World(enum Op op, DepthId depth, std::uint16_t width, std::uint16_t height,
              std::int32_t rowbytes) {
    w_.Step(op).U8(depth);
    Size(width);
    Size(height);
    w_.I32(rowbytes);
    return *this;
  }
  void Size(std::uint16_t v) {
    if (v < kSmallSides)
      w_.U8(std::uint8_t(v));
    else
      w_.U8(kLargeSide).U16(std::uint16_t(v - kSmallSides));
  }

  ScriptWriter w_;
};

struct NamedSeed {
  const char* name;
  Seed seed;
};

std::vector<NamedSeed> Seeds() {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<NamedSeed> seeds;
  seeds.push_back({"frame-8bit", Seed().Frame(k8, 64, 48).Render().Legacy()});
  seeds.push_back({"frame-16bit-padded",
                   Seed().Frame(k16, 61, 33, 61 * 8 + 24).Integer(kXCount, 40).Render().Legacy()});
  seeds.push_back({"frame-float-flipped",
                   Seed().Frame(kFloat, 29, 23, -(29 * 16 + 16)).Double(kLineWidth, 3.5).Render()});
  seeds.push_back({"mismatched-worlds", Seed()
                                            .Layer(k8, 40, 20, 40 * 4 + 12)
                                            .Output(k8, 70, 50, 0)
                                            .Render()
                                            .Output(k8, 30, 60, -(30 * 4 + 40))
                                            .Legacy()
                                            .Integer(kBlendMode, kBlendGridOnly)
                                            .Render()});
  seeds.push_back({"presets", Seed()
                                  .Frame(k8, 96, 54)
                                  .Integer(kPreset, kPresetMarginFrame)
                                  .Changed(kPreset)
                                  .Render()
                                  .Integer(kResolution, 14)
                                  .Changed(kResolution)
                                  .Integer(kOuterColorCount, 2)
                                  .Changed(kOuterColorCount)
                                  .Op(kUpdateUI)
                                  .Legacy()});
  seeds.push_back({"extreme-controls", Seed()
                                           .Frame(k16, 50, 40)
                                           .Double(kXSpacing, nan)
                                           .Double(kYSpacing, inf)
                                           .Double(kLineWidth, -inf)
                                           .Double(kCenterLineWidth, 1e300)
                                           .Double(kOpacity, nan)
                                           .Integer(kXCount, INT32_MIN)
                                           .Integer(kYCount, INT32_MAX)
                                           .Integer(kOuterColorCount, -7)
                                           .Integer(kBlendMode, 99)
                                           .Render()
                                           .Double(kOpacity, 50)
                                           .Integer(kUseColor2, 0)
                                           .Legacy()});
  seeds.push_back({"downsample", Seed()
                                     .Frame(k8, 80, 45)
                                     .Downsample(1, 2, 1, 3)
                                     .Render()
                                     .Downsample(0, 0, -1, 4)
                                     .Legacy()
                                     .Downsample(INT32_MAX, 1, 1, 0xFFFFFFFFu)
                                     .Render()});
  seeds.push_back({"param-faults", Seed()
                                       .Fault(HostCall::kCheckoutParam, 6)
                                       .Render()
                                       .Fault(HostCall::kCheckoutLayer, 1, kFailing, 0)
                                       .Render()
                                       .Fault(HostCall::kCheckinParam, 3)
                                       .Render()
                                       .SmartRender()});
  seeds.push_back({"world-faults", Seed()
                                       .Frame(k8, 20, 10)
                                       .Fault(HostCall::kCheckoutLayerPixels, 1, kNullResult)
                                       .Render()
                                       .Fault(HostCall::kCheckoutOutput, 2, kNoData)
                                       .Render()
                                       .Fault(HostCall::kCheckoutOutput, 3, kNullResult)
                                       .Render()
                                       .Fault(HostCall::kCheckoutLayerPixels, 4, kNoData)
                                       .Render()});
  seeds.push_back({"suite-faults", Seed()
                                       .Frame(k16, 24, 12)
                                       .Fault(HostCall::kAcquireSuite, 1, kNullResult)
                                       .Render()
                                       .Fault(HostCall::kGetPixelFormat, 2)
                                       .Render()
                                       .Fault(HostCall::kUpdateParamUI, 3)
                                       .Op(kUpdateUI)
                                       .Suites(2)
                                       .Render()
                                       .Suites(1)
                                       .Render()
                                       .Op(kUpdateUI)});
  seeds.push_back({"null-records", Seed()
                                       .Nulls(kNullInData)
                                       .Render()
                                       .Nulls(kNullExtraCb)
                                       .Render()
                                       .Nulls(kNullParams)
                                       .Legacy()
                                       .Nulls(kNullOutputData)
                                       .Legacy()
                                       .Nulls(kNullLayerData)
                                       .Legacy()
                                       .NullParams(1u << kOpacity)
                                       .Legacy()
                                       .NullParams(1u << kColor3)
                                       .Op(kUpdateUI)
                                       .Nulls(kNullOutData)
                                       .Op(kAbout)
                                       .Nulls(kNullAddParam)
                                       .Op(kParamsSetup)});
  seeds.push_back({"selectors", Seed()
                                    .Raw(-1)
                                    .Raw(25)
                                    .Raw(2)
                                    .Raw(22)
                                    .Raw(INT32_MAX)
                                    .Raw(PF_Cmd_SMART_PRE_RENDER)
                                    .Raw(PF_Cmd_SMART_RENDER)
                                    .Op(kAbout)
                                    .Op(kGlobalSetup)});
  seeds.push_back(
      {"setup-faults",
       Seed().Fault(HostCall::kAddParam, 5).Op(kParamsSetup).Op(kParamsSetup).Render()});
  seeds.push_back({"empty-worlds", Seed()
                                       .Frame(k8, 0, 0)
                                       .Render()
                                       .Frame(k16, 0, 7)
                                       .Legacy()
                                       .Frame(kFloat, 9, 0)
                                       .Render()
                                       .Frame(k8, 1, 1)
                                       .Render()});
  seeds.push_back({"rects", Seed()
                                .Rects(PF_LRect{0, 0, 1920, 1080}, PF_LRect{5, 5, 5, 9})
                                .Render()
                                .Rects(PF_LRect{3, 3, 3, 3}, PF_LRect{10, 20, 110, 220})
                                .Render()
                                .Rects(PF_LRect{0, 0, 0, 0}, PF_LRect{0, 0, 0, 0})
                                .LayerSize(640, -5)
                                .Render()});
  seeds.push_back({"grown-and-offset-input", Seed()
                                                 .Frame(k8, 64, 48)
                                                 .OutputWindow(WorldMargins{}, 0)
                                                 .InputOrigin(-30, 0)
                                                 .LayerSize(34, 48)
                                                 .Request(PF_LRect{-30, 0, 34, 48})
                                                 .Fill(kFillTranslucent, 1)
                                                 .Render()
                                                 .Legacy()
                                                 .InputOrigin(5, 3)
                                                 .Request(PF_LRect{0, 0, 34, 48})
                                                 .Render()});
  seeds.push_back({"tiles-in-windows", Seed()
                                           .Frame(k16, 48, 32)
                                           .Fill(kFillAny, 2)
                                           .OutputWindow(WorldMargins{3, 1, 2, 4}, 0)
                                           .Request(PF_LRect{10, 5, 40, 25})
                                           .Render()
                                           .Request(PF_LRect{0, 0, 0, 0})
                                           .Render()
                                           .Request(PF_LRect{40, 24, 80, 60})
                                           .Render()
                                           .OutputWindow(WorldMargins{0, 2, 5, 0}, -(56 * 8 + 24))
                                           .Legacy()});
  seeds.push_back({"straight-alpha", Seed()
                                         .Frame(kFloat, 33, 21)
                                         .Fill(kFillClear, 3)
                                         .Render()
                                         .Fill(kFillTranslucent, 4)
                                         .Legacy()
                                         .Frame(k8, 30, 20)
                                         .Fill(kFillAny, 5)
                                         .Double(kOpacity, 70)
                                         .Render()});
  seeds.push_back({"empty-input", Seed()
                                      .Layer(k8, 0, 0, 0)
                                      .LayerSize(40, 30)
                                      .EmptyInputAsNull(true)
                                      .Render()
                                      .EmptyInputAsNull(false)
                                      .Render()
                                      .Legacy()});
  seeds.push_back({"downsampled-layer", Seed()
                                            .Frame(k8, 40, 23)
                                            .LayerSize(80, 45)
                                            .Downsample(1, 2, 1, 2)
                                            .Request(PF_LRect{0, 0, 40, 23})
                                            .Fill(kFillOpaque, 6)
                                            .Render()
                                            .Legacy()});
  // Fixed faults, kept as regression cases.
  seeds.push_back({"regression-misaligned-deep-world", Seed()
                                                           .Frame(k8, 33, 17, 33 * 8 + 1)
                                                           .Suites(2)
                                                           .WorldFlags(0, PF_WorldFlag_DEEP)
                                                           .Render()
                                                           .Legacy()
                                                           .Suites(0)
                                                           .Format(0, PF_PixelFormat_ARGB64)
                                                           .Render()});
  seeds.push_back({"regression-format-mismatch", Seed()
                                                     .Frame(k8, 33, 17)
                                                     .Format(0, PF_PixelFormat_ARGB128)
                                                     .Render()
                                                     .Format(0, PF_PixelFormat_BGRA32)
                                                     .Render()
                                                     .Suites(2)
                                                     .WorldFlags(0, PF_WorldFlag_DEEP)
                                                     .Legacy()});
  seeds.push_back(
      {"regression-deep-flag-on-padded-world", Seed()
                                                   .Frame(k8, 33, 17, 33 * 8 + 8)
                                                   .Suites(2)
                                                   .WorldFlags(0, PF_WorldFlag_DEEP)
                                                   .Legacy()
                                                   .Op(kGlobalSetup)
                                                   .OutputWindow(WorldMargins{2, 0, 0, 0}, 0)
                                                   .Render()});
  // A window told of wider pixels reaches past the image from its last row.
  seeds.push_back(
      {"regression-deep-flag-on-window", Seed()
                                             .Frame(k8, 20, 9, 176)
                                             .OutputWindow(WorldMargins{5, 2, 0, 0}, 170)
                                             .Render()
                                             .Suites(2)
                                             .WorldFlags(0, PF_WorldFlag_DEEP)
                                             .Legacy()
                                             .Op(kAbout)});
  seeds.push_back({"regression-empty-output-missing-record",
                   Seed().Frame(k8, 0, 0).NullParams(1u << kOpacity).Legacy()});
  return seeds;
}

}  // namespace
}  // namespace tessaline::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  for (const auto& [name, seed] : tessaline::fuzz::Seeds()) {
    const std::string path = std::string(argv[1]) + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr ||
        std::fwrite(seed.bytes().data(), 1, seed.bytes().size(), f) != seed.bytes().size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::fclose(f);
    std::printf("%s: %zu bytes\n", path.c_str(), seed.bytes().size());
  }
  return 0;
}
