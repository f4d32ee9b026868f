#include "host/RenderCommands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "minihost/Rects.h"
#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"
#include "tests/support/PopupValues.h"
#include "tests/support/Reconfigure.h"

// The pre-render record is the one allocation of a render; this test binary
// can make the non-throwing allocation fail to see how pre-render copes.
namespace {
std::atomic<bool> gFailNothrowNew{false};
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (gFailNothrowNew.load()) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace tessaline {
namespace {

using test::DrawnColumns;
using test::DrawnRows;
using test::FillPattern;
using test::PluginHost;
using test::Reconfigure;

// Every pre-render keeps the check-out rules (HostRules.h) whatever fails,
// and hands the host a frame only when nothing did.
TEST(SmartPreRender, KeepsTheCheckoutRulesWhateverFails) {
  struct Case {
    const char* what;
    Fault fault;
    bool failAllocation;
    PF_Err expected;
  };
  const Case cases[] = {
      {"clean", {.call = HostCall::kCount}, false, PF_Err_NONE},
      {"a control",
       {.call = HostCall::kCheckoutParam, .error = 517, .arg = kCenterLineColor},
       false,
       517},
      {"the allocation", {.call = HostCall::kCount}, true, PF_Err_OUT_OF_MEMORY},
      {"the layer", {.call = HostCall::kCheckoutLayer, .error = 513}, false, 513},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PluginHost host;
    PF_RenderRequest request{};
    request.rect = PF_LRect{3, 4, 100, 80};
    request.field = PF_Field_UPPER;
    request.channel_mask = 7;
    host.Configure({.times = {2002, 1001, 30000}, .outputRequest = request});
    if (c.fault.call != HostCall::kCount) host.AddFault(c.fault);
    host.ClearLog();
    SmartFrame frame;
    gFailNothrowNew = c.failAllocation;
    const PF_Err err = host.SmartPreRender(&frame);
    gFailNothrowNew = false;
    const test::Verdict v = test::JudgePreRender(host.Log(), host.MakeInData(), request);
    EXPECT_EQ(v.breach, "");
    EXPECT_EQ(err, v.expected);
    EXPECT_EQ(err, c.expected);
    EXPECT_EQ(frame.pending(), err == PF_Err_NONE);
    if (err != PF_Err_NONE) {
      EXPECT_EQ(frame.preRenderOutput().pre_render_data, nullptr);
      EXPECT_EQ(frame.preRenderOutput().delete_pre_render_data_func, nullptr);
    }
    EXPECT_EQ(host.Log().CheckoutBalance(), 0);
  }
}

// max_result_rect: the layer at the render's resolution and whatever the
// input holds beyond it, the same for every request; result_rect: what of it
// the request asks for, never more.
TEST(SmartPreRender, ResultRectanglesFollowTheLayerAndTheRequest) {
  struct Case {
    std::int32_t layerWidth, layerHeight;
    PF_RationalScale downsample;
    PF_LRect inputMax, request, max, result;
  };
  constexpr PF_RationalScale kFull{1, 1}, kHalf{1, 2}, kInvalid{0, 0};
  const Case cases[] = {
      {64, 32, kFull, {0, 0, 64, 32}, {0, 0, 64, 32}, {0, 0, 64, 32}, {0, 0, 64, 32}},
      // An earlier effect grew the input 30 pixels left and 10 down.
      {64, 32, kFull, {-30, 0, 64, 42}, {0, 0, 64, 32}, {-30, 0, 64, 42}, {0, 0, 64, 32}},
      {64, 32, kFull, {-30, 0, 64, 42}, {-40, -5, 10, 50}, {-30, 0, 64, 42}, {-30, 0, 10, 42}},
      {64, 32, kFull, {0, 0, 64, 32}, {10, 5, 20, 15}, {0, 0, 64, 32}, {10, 5, 20, 15}},
      {64, 32, kFull, {0, 0, 64, 32}, {50, 20, 100, 100}, {0, 0, 64, 32}, {50, 20, 64, 32}},
      {64, 32, kFull, {0, 0, 64, 32}, {100, 100, 200, 200}, {0, 0, 64, 32}, {}},
      {64, 32, kFull, {0, 0, 64, 32}, {}, {0, 0, 64, 32}, {}},              // bounds only
      {64, 32, kFull, {}, {0, 0, 64, 32}, {0, 0, 64, 32}, {0, 0, 64, 32}},  // an empty layer
      {64, 32, kFull, {100, 0, 150, 32}, {0, 0, 1920, 1080}, {0, 0, 150, 32}, {0, 0, 150, 32}},
      {101, 67, kHalf, {0, 0, 51, 34}, {0, 0, 51, 34}, {0, 0, 51, 34}, {0, 0, 51, 34}},
      {101, 67, kInvalid, {}, {0, 0, 500, 500}, {0, 0, 101, 67}, {0, 0, 101, 67}},
      // Without a width the layer reaches as far past the input as the input
      // starts past the layer's (0, 0): 3 + 9.
      {0, 12, kFull, {}, {0, 0, 10, 10}, {}, {}},
      {-5, 12, kFull, {3, 3, 9, 9}, {0, 0, 5, 5}, {0, 0, 12, 12}, {0, 0, 5, 5}},
  };
  const auto expectRect = [](const PF_LRect& got, const PF_LRect& want, const char* what) {
    EXPECT_TRUE(got.left == want.left && got.top == want.top && got.right == want.right &&
                got.bottom == want.bottom)
        << what << " (" << got.left << ", " << got.top << ", " << got.right << ", " << got.bottom
        << ")";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "layer " << c.layerWidth << " x " << c.layerHeight
                                      << ", request right " << c.request.right);
    PluginHost host;
    PF_RenderRequest request{};
    request.rect = c.request;
    host.Configure({.outputRequest = request, .checkoutRects = {{PF_LRect{}, c.inputMax}}});
    // The layer size and factors in in_data are what the host reports, usable or not.
    PF_InData in = host.MakeInData();
    in.width = c.layerWidth;
    in.height = c.layerHeight;
    in.downsample_x = in.downsample_y = c.downsample;
    PF_PreRenderInput input{};
    input.output_request = request;
    PF_PreRenderOutput output{};
    output.solid = 1;
    PF_PreRenderCallbacks cb = host.MakePreRenderCallbacks();
    PF_PreRenderExtra extra{&input, &output, &cb};
    ASSERT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &in, nullptr, nullptr, nullptr, &extra),
              PF_Err_NONE);
    expectRect(output.max_result_rect, c.max, "max_result_rect");
    expectRect(output.result_rect, c.result, "result_rect");
    EXPECT_EQ(output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);
    EXPECT_EQ(output.solid, 0);
    ReleaseGridSettings(output.pre_render_data);
  }
}

// Every smart render keeps the call rules (HostRules.h): the input's pixels
// exactly when compositing, in every mode; a host failure comes back and
// nothing is drawn; a frame drawn is the legacy render's.
TEST(SmartRender, KeepsTheCallRulesInEveryModeAndFailure) {
  constexpr Fault kNone{.call = HostCall::kCount};
  struct Case {
    std::int32_t mode;
    Fault fault;
    PF_Err expected;
  };
  const Case cases[] = {
      {kBlendGridOnly, kNone, PF_Err_NONE},
      {1, kNone, PF_Err_NONE},
      {3, kNone, PF_Err_NONE},
      {0, kNone, PF_Err_NONE},
      {-4, kNone, PF_Err_NONE},
      {1, {.call = HostCall::kCheckoutLayerPixels, .error = 515}, 515},
      {1, {.call = HostCall::kCheckoutOutput, .error = 514}, 514},
      {kBlendGridOnly,
       {.call = HostCall::kCheckoutOutput, .effect = FaultEffect::kNullResult},
       516},
      {1, {.call = HostCall::kCheckoutOutput, .effect = FaultEffect::kNoData}, 516},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "mode " << c.mode << ", fault on " << HostCallName(c.fault.call));
    PluginHost host;
    FillPattern(host.Layer());
    host.SetValue(kBlendMode, c.mode);
    if (c.fault.call != HostCall::kCount) host.AddFault(c.fault);
    SmartFrame frame;
    ASSERT_EQ(host.SmartPreRender(&frame), PF_Err_NONE);
    host.ClearLog();
    const PF_Err err = host.SmartRender(frame);
    const bool delivered =
        c.fault.call != HostCall::kCheckoutOutput || c.fault.effect != FaultEffect::kNullResult;
    const test::Verdict v = test::JudgeSmartRender(host.Log(), c.mode != kBlendGridOnly, delivered);
    EXPECT_EQ(v.breach, "");
    if (v.expected != PF_Err_NONE) {
      EXPECT_EQ(err, v.expected);
    }
    EXPECT_EQ(err, c.expected);
    const std::vector<std::uint8_t> smart = host.Output().PackedPixels();
    if (err != PF_Err_NONE) {
      for (std::uint8_t byte : smart) ASSERT_EQ(byte, 0);
      continue;
    }
    host.Output().Clear();
    ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
    EXPECT_EQ(host.Output().PackedPixels(), smart);
  }
}

// The depth drawn is told by the bytes: an 8-bit pass writes width * 4 bytes
// a row, whatever the world really holds.
std::vector<std::uint8_t> FirstBytesOfRows(const World& world, std::int32_t bytes) {
  std::vector<std::uint8_t> out;
  for (std::int32_t r = 0; r < world.height(); ++r) {
    const auto* row = reinterpret_cast<const std::uint8_t*>(world.RowAddress(r));
    out.insert(out.end(), row, row + bytes);
  }
  return out;
}

struct DepthCase {
  PixelDepth world;
  bool worldSuite;
  bool formatFails;
  PF_PixelFormat reported;  // 0: the world's own
  PixelDepth drawn;
};

TEST(ChoosePixelFormat, FallsBackToWorldFlagsAndTreatsUnknownFormatsAsEightBit) {
  const DepthCase cases[] = {
      {PixelDepth::kFloat, true, false, 0, PixelDepth::kFloat},
      {PixelDepth::k16, false, false, 0, PixelDepth::k16},
      {PixelDepth::k16, true, true, 0, PixelDepth::k16},
      {PixelDepth::kFloat, false, false, 0, PixelDepth::k8},
      {PixelDepth::kFloat, true, true, 0, PixelDepth::k8},
      {PixelDepth::k16, true, false, PF_PixelFormat_BGRA32, PixelDepth::k8},
      {PixelDepth::kFloat, true, false, PF_PixelFormat_VUYA32, PixelDepth::k8},
  };
  for (const DepthCase& c : cases) {
    for (bool smart : {true, false}) {
      PluginHost host;
      host.SetValue(kBlendMode, kBlendGridOnly);
      host.Configure({.output = WorldGeometry{c.world, 40, 30}, .suites = {{c.worldSuite, true}}});
      if (c.formatFails) host.AddFault(Fault{.call = HostCall::kGetPixelFormat});
      if (c.reported != 0) host.Output().setPixelFormat(c.reported);
      ASSERT_EQ(smart ? host.RenderSmart() : host.RenderLegacy(), PF_Err_NONE);

      PluginHost expected;
      expected.SetValue(kBlendMode, kBlendGridOnly);
      expected.Configure({.output = WorldGeometry{c.drawn, 40, 30, host.Output().rowbytes()}});
      ASSERT_EQ(expected.RenderSmart(), PF_Err_NONE);
      const std::int32_t rowBytes = 40 * PixelSize(c.drawn);
      EXPECT_EQ(FirstBytesOfRows(host.Output(), rowBytes),
                FirstBytesOfRows(expected.Output(), rowBytes))
          << "world depth " << int(c.world) << " smart " << smart;
      EXPECT_EQ(host.Log().SuiteImbalance(), 0);
    }
  }
}

TEST(LegacyRender, RendersWithoutInDataChoosingTheDepthFromWorldFlags) {
  PluginHost host;
  host.Configure({.input = {PixelDepth::k16, 50, 40}});
  FillPattern(host.Layer());
  ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
  const std::vector<std::uint8_t> expected = host.Output().PackedPixels();
  host.Output().Clear();
  PF_OutData out = host.MakeOutData();
  EXPECT_EQ(host.Send(PF_Cmd_RENDER, nullptr, &out, host.Params(), host.Output().def(), nullptr),
            PF_Err_NONE);
  EXPECT_EQ(host.Output().PackedPixels(), expected);
  EXPECT_EQ(host.Log().Count(HostCall::kAcquireSuite), 1);  // only the first render asked
}

TEST(RenderCommands, SmartAndLegacyFramesAreIdenticalAtEveryDepth) {
  for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
    for (std::int32_t mode : {kBlendCompositeOverSource, kBlendGridOnly}) {
      PluginHost host;
      host.Configure({.input = {depth, 123, 77}});
      FillPattern(host.Layer());
      host.SetValue(kPreset, test::Preset("Fine Draft"));
      host.SetValue(kOpacity, 60.0);
      host.SetValue(kColor2, 0x40FF8080u);  // half-transparent
      host.SetValue(kBlendMode, mode);
      ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
      const std::vector<std::uint8_t> smart = host.Output().PackedPixels();
      host.Output().Clear();
      ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
      EXPECT_EQ(host.Output().PackedPixels(), smart) << int(depth) << " mode " << mode;
      EXPECT_TRUE(host.Log().guardFailures.empty());
    }
  }
}

// Draft resolutions: the host renders into a smaller output and says by how
// much in downsample_x / downsample_y.
TEST(DraftResolution, HalfResolutionKeepsThirdsAtThirds) {
  for (bool smart : {true, false}) {
    PluginHost host;
    host.Configure({.input = {PixelDepth::k8, 960, 540},  // the frame at half resolution
                    .layerSize = {{1920, 1080}},
                    .downsample = {{1, 2}, {1, 2}}});
    host.SetValue(kResolution, test::Resolution("1920x1080 Full HD"));
    host.SetValue(kPreset, test::Preset("Thirds"));
    host.SetValue(kBlendMode, kBlendGridOnly);
    ASSERT_EQ(smart ? host.RenderSmart() : host.RenderLegacy(), PF_Err_NONE);
    // Width 3 halved: 1.5 pixels, three quarters of columns 319 and 320 (and
    // 479, 480 for the center line, 639, 640).
    EXPECT_EQ(DrawnColumns(host.Output(), 100),
              (std::vector<std::int32_t>{319, 320, 479, 480, 639, 640}));
    EXPECT_EQ(host.Output().At<PF_Pixel>(100, 319).alpha, 191);
  }
}

TEST(DraftResolution, QuarterResolutionKeepsTheMarginFrames) {
  PluginHost host;
  host.Configure({.input = {PixelDepth::k8, 480, 270},
                  .layerSize = {{1920, 1080}},
                  .downsample = {{1, 4}, {1, 4}}});
  host.SetValue(kResolution, test::Resolution("1920x1080 Full HD"));
  host.SetValue(kPreset, test::Preset("Margin Frame"));
  host.SetValue(kBlendMode, kBlendGridOnly);
  ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
  // 5 % and 10 % of 480 and 270: 24 / 48 and 13.5 / 27 from each edge.
  const std::vector<std::int32_t> columns = DrawnColumns(host.Output(), 100);
  const std::vector<std::int32_t> rows = DrawnRows(host.Output(), 100);
  EXPECT_EQ(columns, (std::vector<std::int32_t>{23, 24, 47, 48, 431, 432, 455, 456}));
  EXPECT_EQ(rows, (std::vector<std::int32_t>{13, 26, 27, 242, 243, 256}));
}

// Lines `count` a side at the spacings given, `width` wide.
void SetGrid(MiniHost& host, double xSpacing, double ySpacing, std::int32_t count, double width) {
  host.SetValue(kXSpacing, xSpacing);
  host.SetValue(kYSpacing, ySpacing);
  host.SetValue(kXCount, count);
  host.SetValue(kYCount, count);
  host.SetValue(kLineWidth, width);
}

TEST(DraftResolution, EachAxisFollowsItsOwnFactor) {
  struct Case {
    PF_RationalScale x, y;
    std::int32_t width, height;  // of the layer at full resolution
    std::vector<std::int32_t> columns, rows;
    std::uint8_t alphaAtRow24;  // of column 10: half or full coverage tells the width
  };
  const Case cases[] = {
      // 1/2 horizontally only: columns move, rows stay; widths follow the smaller factor.
      {{1, 2}, {1, 1}, 200, 100, {24, 25, 49, 50, 74, 75}, {0, 49, 50, 99}, 0},
      {{1, 1}, {1, 2}, 100, 200, {0, 49, 50, 99}, {24, 25, 49, 50, 74, 75}, 128},
      // A record without a valid factor renders at full scale.
      {{1, 0}, {0, 3}, 200, 200, {49, 50, 99, 100, 149, 150}, {49, 50, 99, 100, 149, 150}, 0},
      {{-1, 2}, {1, 1}, 200, 200, {49, 50, 99, 100, 149, 150}, {49, 50, 99, 100, 149, 150}, 0},
  };
  for (const Case& c : cases) {
    PluginHost host;
    host.Configure({.input = {PixelDepth::k8, test::AtResolution(c.width, c.x),
                              test::AtResolution(c.height, c.y)},
                    .layerSize = {{c.width, c.height}},
                    .downsample = {c.x, c.y}});
    host.SetValue(kBlendMode, kBlendGridOnly);
    SetGrid(host, 50, 50, 1, 2);
    host.SetValue(kCenterLineWidth, 2);
    ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
    EXPECT_EQ(DrawnColumns(host.Output(), 10), c.columns) << c.x.num << "/" << c.x.den;
    EXPECT_EQ(DrawnRows(host.Output(), 10), c.rows) << c.x.num << "/" << c.x.den;
    EXPECT_EQ(host.Output().At<PF_Pixel>(24, 10).alpha, c.alphaAtRow24);
  }
}

// ---- The layer where the host puts it ----------------------------------------

// The pixels of `world` over a rectangle in layer coordinates, row by row,
// through the world's origin.
std::vector<std::uint8_t> Region(const World& world, const PF_LRect& r) {
  std::vector<std::uint8_t> bytes;
  const std::int32_t ox = world.def()->origin_x, oy = world.def()->origin_y;
  const std::size_t pixel = std::size_t(world.pixelSize());
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    const auto* row = reinterpret_cast<const std::uint8_t*>(world.RowAddress(y - oy));
    bytes.insert(bytes.end(), row + (r.left - ox) * pixel, row + (r.right - ox) * pixel);
  }
  return bytes;
}

// A 64 x 40 layer with controls that put lines near every edge.
void SetScene(MiniHost& host, PixelDepth depth, std::int32_t mode) {
  Reconfigure(host, [&](auto& c) { c.input = {depth, 64, 40}; });
  FillPattern(host.Layer());
  host.SetValue(kBlendMode, mode);
  SetGrid(host, 9.5, 7.25, 8, 2.5);
  host.SetValue(kOpacity, 70);
}

// An earlier effect grew the input by (left, top, right, bottom) transparent
// pixels: the layer's pixels now lie at (left, top) of a larger input.
void GrowInput(MiniHost& host, const WorldMargins& grow) {
  World& layer = host.Layer();
  const std::vector<std::uint8_t> pixels = layer.PackedPixels();
  const std::int32_t width = layer.width(), height = layer.height();
  const std::size_t rowBytes = std::size_t(width) * std::size_t(layer.pixelSize());
  Reconfigure(host, [&](auto& c) { c.layerSize = {{width, height}}; });
  Reconfigure(host, [&](auto& c) {
    c.input = {layer.depth(), width + grow.left + grow.right, height + grow.top + grow.bottom};
  });
  for (std::int32_t r = 0; r < height; ++r)
    std::memcpy(host.Layer().RowAddress(r + grow.top) + std::size_t(grow.left) * (rowBytes / width),
                pixels.data() + rowBytes * std::size_t(r), rowBytes);
  Reconfigure(host, [&](auto& c) { c.inputOrigin = {-grow.left, -grow.top}; });
}

// The host guide's own test: an effect before this one that grows the buffer
// must not move anything on the layer, in either render path.
TEST(LayerPlacement, AnEarlierEffectGrowingTheBufferMovesNothing) {
  const PF_LRect layerRect{0, 0, 64, 40};
  for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
    for (std::int32_t mode : {kBlendCompositeOverSource, kBlendGridOnly}) {
      for (bool smart : {true, false}) {
        SCOPED_TRACE(::testing::Message()
                     << int(depth) << " bits, mode " << mode << (smart ? ", smart" : ", legacy"));
        PluginHost plain, grown;
        SetScene(plain, depth, mode);
        SetScene(grown, depth, mode);
        GrowInput(grown, WorldMargins{30, 0, 0, 10});
        ASSERT_EQ(smart ? plain.RenderSmart() : plain.RenderLegacy(), PF_Err_NONE);
        ASSERT_EQ(smart ? grown.RenderSmart() : grown.RenderLegacy(), PF_Err_NONE);
        if (!smart) grown.Output().SetOrigin(-30, 0);  // the legacy output is the input's buffer
        EXPECT_EQ(grown.Output().width(), 94);
        EXPECT_EQ(Region(grown.Output(), layerRect), Region(plain.Output(), layerRect));
        EXPECT_TRUE(grown.Log().guardFailures.empty());
      }
    }
  }
}

// A host that leaves in_data's sizes out (width, height and both downsample
// factors 0) renders through the legacy command only; the smart pair sees the
// sizes left out by an otherwise full host. The layer is then what the command
// holds (the output world, or the input's max_result_rect), reaching as far
// past the layer on the far side as on the near side: with no grown buffer, or
// one grown alike on both sides, the frame is the full host's.
TEST(LayerPlacement, AHostLeavingTheSizesOutGetsTheFullHostsFrame) {
  for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
    for (bool smart : {true, false}) {
      for (const WorldMargins& grow : {WorldMargins{}, WorldMargins{7, 4, 7, 4}}) {
        SCOPED_TRACE(::testing::Message() << int(depth) << " bits, " << (smart ? "smart" : "legacy")
                                          << ", grown by " << grow.left << ", " << grow.top);
        PluginHost full;
        MiniHost sparse(&EffectMain);
        sparse.Configure({.sparseHost = !smart});
        ASSERT_EQ(sparse.GlobalSetup(), PF_Err_NONE);
        ASSERT_EQ(sparse.ParamsSetup(), PF_Err_NONE);
        for (MiniHost* host : {static_cast<MiniHost*>(&full), &sparse}) {
          SetScene(*host, depth, kBlendCompositeOverSource);
          GrowInput(*host, grow);
        }
        Reconfigure(sparse, [](auto& c) { c.layerSize = {{0, 0}}; });
        Reconfigure(sparse, [](auto& c) { c.downsample = {{0, 0}, {0, 0}}; });
        ASSERT_EQ(full.Render(smart ? RenderPath::kSmart : RenderPath::kLegacy), PF_Err_NONE);
        ASSERT_EQ(sparse.Render(smart ? RenderPath::kSmart : RenderPath::kLegacy), PF_Err_NONE);
        EXPECT_EQ(sparse.Output().PackedPixels(), full.Output().PackedPixels());
        EXPECT_TRUE(sparse.Log().guardFailures.empty());
      }
    }
  }
}

// A frame rendered as tiles, each a partial request handed a window into a
// larger image, is the full frame cut into pieces; nothing outside a window
// changes. A request with nothing of the layer in it is no error. The input
// grown on every side, or moved off the layer's origin.
TEST(LayerPlacement, TilesOfPartialRequestsMakeTheWholeFrame) {
  struct Input {
    WorldMargins grow;
    std::int32_t x, y;  // its origin
    PF_LRect max;
  };
  const Input inputs[] = {{{9, 4, 6, 6}, -9, -4, {-9, -4, 70, 46}},
                          {{0, 0, 0, 0}, 5, 3, {0, 0, 69, 43}}};
  const PF_LRect tiles[] = {{-9, -4, 20, 13}, {20, -4, 64, 13}, {-9, 13, 33, 36},
                            {33, 13, 70, 36}, {-9, 36, 70, 46}, {500, 500, 600, 600}};
  for (const Input& input : inputs) {
    for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
      for (std::int32_t mode : {kBlendCompositeOverSource, kBlendGridOnly}) {
        SCOPED_TRACE(::testing::Message() << int(depth) << " bits, mode " << mode << ", input at "
                                          << input.x << ", " << input.y);
        PluginHost whole, tiled;
        for (PluginHost* host : {&whole, &tiled}) {
          SetScene(*host, depth, mode);
          GrowInput(*host, input.grow);
          Reconfigure(*host, [&](auto& c) { c.inputOrigin = {input.x, input.y}; });
        }
        PF_RenderRequest all{};
        all.rect = input.max;
        Reconfigure(whole, [&](auto& c) { c.outputRequest = all; });
        ASSERT_EQ(whole.RenderSmart(), PF_Err_NONE);
        Reconfigure(tiled, [](auto& c) { c.output = FollowingOutput{{3, 2, 5, 1}, -8000}; });
        for (const PF_LRect& tile : tiles) {
          PF_RenderRequest request{};
          request.rect = tile;
          request.channel_mask = PF_ChannelMask_ARGB;
          Reconfigure(tiled, [&](auto& c) { c.outputRequest = request; });
          ASSERT_EQ(tiled.RenderSmart(), PF_Err_NONE);
          const PF_PreRenderOutput out = tiled.Log().lastPreRender;
          const PF_LRect drawn = IntersectRects(tile, input.max);
          EXPECT_EQ(std::memcmp(&out.max_result_rect, &input.max, sizeof input.max), 0);
          EXPECT_EQ(std::memcmp(&out.result_rect, &drawn, sizeof drawn), 0);
          if (IsEmptyRect(drawn)) continue;
          EXPECT_EQ(Region(tiled.Output(), drawn), Region(whole.Output(), drawn));
        }
        EXPECT_TRUE(tiled.Log().guardFailures.empty());
      }
    }
  }
}

// An input without pixels composites as a transparent layer: the frame is
// the one "Grid Only" draws.
TEST(LayerPlacement, AnEmptyInputIsATransparentLayer) {
  for (EmptyInput delivery : {EmptyInput::kEmptyWorld, EmptyInput::kNullWorld}) {
    PluginHost empty, gridOnly;
    SetScene(empty, PixelDepth::k16, kBlendCompositeOverSource);
    SetScene(gridOnly, PixelDepth::k16, kBlendGridOnly);
    Reconfigure(empty, [&](auto& c) { c.emptyInput = delivery; });
    Reconfigure(empty, [](auto& c) { c.inputOrigin = {1000, 1000}; });  // away from the layer
    PF_RenderRequest request{};
    request.rect = PF_LRect{0, 0, 64, 40};
    Reconfigure(empty, [&](auto& c) { c.outputRequest = request; });
    ASSERT_EQ(empty.RenderSmart(), PF_Err_NONE);
    ASSERT_EQ(empty.Output().width(), 64);
    ASSERT_EQ(gridOnly.RenderSmart(), PF_Err_NONE);
    const PF_LRect layerRect{0, 0, 64, 40};
    EXPECT_EQ(Region(empty.Output(), layerRect), Region(gridOnly.Output(), layerRect));
  }
}

}  // namespace
}  // namespace tessaline
