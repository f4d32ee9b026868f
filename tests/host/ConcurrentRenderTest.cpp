// Threaded rendering, as a host that renders several frames at once does:
// several threads share one source world and one pre-render record, and
// interleave pre-renders of their own, renders and releases. Under
// ThreadSanitizer (the tsan preset) this shows that the plug-in has no races;
// in every build, that each frame equals the one rendered alone.
//
// Two hosts serve the threads. The in-process host checks its own rules
// (balances, guard zones), but it serialises its callbacks under one lock,
// and a lock orders everything around it for the race detector. So the same
// load also runs against ThreadHost below, whose callbacks take no lock and
// share nothing writable: any write the plug-in makes to shared state is then
// unordered between threads, and reported.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "core/ParamIndex.h"
#include "host/EffectMain.h"
#include "tests/support/PluginHost.h"
#include "tests/support/PopupValues.h"
#include "tests/support/ReferenceSettings.h"
#include "tests/support/WorldReference.h"

namespace tessaline {
namespace {

using test::FillPattern;
using test::PluginHost;
using test::WholeRows;

constexpr int kThreads = 4;
constexpr int kFramesPerThread = 50;
constexpr std::int32_t kWidth = 160, kHeight = 90;

std::int32_t Stride(PixelDepth depth) {
  return kWidth * PixelSize(depth) + 24;
}

// How a thread renders frame f: from the shared record, from a pre-render of
// its own (released a frame later), or by the legacy command.
enum class Way { kSharedRecord, kOwnPreRender, kLegacy };
constexpr Way kWays[] = {Way::kSharedRecord, Way::kOwnPreRender, Way::kLegacy};

// Runs `frame(thread, index)` for every frame of every thread, all threads at once.
template <typename Frame>
void RunThreads(Frame frame) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();  // start together
      for (int f = 0; f < kFramesPerThread; ++f) frame(t, f);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// A host for threaded rendering that takes no lock: the controls and the
// source are shared and read only, everything a callback writes belongs to
// the calling thread's context.
class ThreadHost {
 public:
  struct Context {
    const ThreadHost* host;
    PF_EffectWorld* output;
    PF_PixelFormat format;
    int checkouts = 0, checkins = 0, acquires = 0, releases = 0;
  };

  ThreadHost(PF_ParamDef** params, PF_EffectWorld* source) : params_(params), source_(source) {}

  PF_InData InData(Context& c) const {
    PF_InData in{};
    in.inter.checkout_param = &CheckoutParam;
    in.inter.checkin_param = &CheckinParam;
    in.effect_ref = reinterpret_cast<PF_ProgPtr>(&c);
    in.current_time = 0;
    in.time_step = 1;
    in.time_scale = 25;
    in.width = source_->width;
    in.height = source_->height;
    in.downsample_x = in.downsample_y = PF_RationalScale{1, 1};
    in.pica_basicP = const_cast<SPBasicSuite*>(&kBasic);
    return in;
  }

  PF_Err PreRender(Context& c, PF_PreRenderOutput& output) const {
    Current() = &c;
    PF_InData in = InData(c);
    PF_PreRenderInput input{};
    input.output_request.rect = PF_LRect{0, 0, source_->width, source_->height};
    input.output_request.channel_mask = PF_ChannelMask_ARGB;
    PF_PreRenderCallbacks cb{&CheckoutLayer, nullptr};
    PF_PreRenderExtra extra{&input, &output, &cb};
    return EffectMain(PF_Cmd_SMART_PRE_RENDER, &in, nullptr, nullptr, nullptr, &extra);
  }

  PF_Err Render(Context& c, void* record) const {
    Current() = &c;
    PF_InData in = InData(c);
    PF_OutData out{};
    PF_SmartRenderInput input{};
    input.pre_render_data = record;
    PF_SmartRenderCallbacks cb{&CheckoutLayerPixels, nullptr, &CheckoutOutput};
    PF_SmartRenderExtra extra{&input, &cb};
    return EffectMain(PF_Cmd_SMART_RENDER, &in, &out, nullptr, nullptr, &extra);
  }

  PF_Err Legacy(Context& c) const {
    Current() = &c;
    PF_InData in = InData(c);
    PF_OutData out{};
    return EffectMain(PF_Cmd_RENDER, &in, &out, params_, c.output, nullptr);
  }

 private:
  static Context& Of(PF_ProgPtr ref) { return *reinterpret_cast<Context*>(ref); }
  // The suites get no effect_ref: the thread's context serves them.
  static Context*& Current() {
    thread_local Context* current = nullptr;
    return current;
  }

  static PF_Err CheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long, A_long, A_u_long,
                              PF_ParamDef* def) {
    Context& c = Of(ref);
    *def = *c.host->params_[index];
    ++c.checkouts;
    return PF_Err_NONE;
  }
  static PF_Err CheckinParam(PF_ProgPtr ref, PF_ParamDef*) {
    ++Of(ref).checkins;
    return PF_Err_NONE;
  }
  static PF_Err CheckoutLayer(PF_ProgPtr ref, PF_ParamIndex, A_long, const PF_RenderRequest*,
                              A_long, A_long, A_u_long, PF_CheckoutResult* result) {
    const PF_EffectWorld& source = *Of(ref).host->source_;
    *result = PF_CheckoutResult{};
    result->result_rect = result->max_result_rect = PF_LRect{0, 0, source.width, source.height};
    return PF_Err_NONE;
  }
  static PF_Err CheckoutLayerPixels(PF_ProgPtr ref, A_long, PF_EffectWorld** world) {
    *world = Of(ref).host->source_;
    return PF_Err_NONE;
  }
  static PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld** world) {
    *world = Of(ref).output;
    return PF_Err_NONE;
  }
  static SPErr AcquireSuite(const char* name, std::int32_t version, const void** suite) {
    if (std::strcmp(name, kPFWorldSuite) != 0 || version != kPFWorldSuiteVersion2) {
      *suite = nullptr;
      return 0x53214664;  // not found: the plug-in then does without
    }
    *suite = &kWorldSuite;
    ++Current()->acquires;
    return kSPNoError;
  }
  static SPErr ReleaseSuite(const char*, std::int32_t) {
    ++Current()->releases;
    return kSPNoError;
  }
  static PF_Err GetPixelFormat(const PF_EffectWorld*, PF_PixelFormat* format) {
    *format = Current()->format;
    return PF_Err_NONE;
  }

  static inline const SPBasicSuite kBasic{&AcquireSuite, &ReleaseSuite, nullptr, nullptr,
                                          nullptr,       nullptr,       nullptr};
  static inline const PF_WorldSuite2 kWorldSuite{nullptr, nullptr, &GetPixelFormat};

  PF_ParamDef** params_;
  PF_EffectWorld* source_;
};

class ConcurrentRender : public ::testing::TestWithParam<PixelDepth> {
 protected:
  void SetUp() override {
    const PixelDepth depth = GetParam();
    ASSERT_EQ(host_.SetValue(kPreset, test::Preset("Balanced Grid")), PF_Err_NONE);
    host_.SetValue(kOpacity, 70.0);
    host_.SetValue(kXSpacing, 9.0);
    host_.SetValue(kYSpacing, 7.5);
    const WorldGeometry frame{depth, kWidth, kHeight, Stride(depth)};
    host_.Configure({.input = frame, .output = frame});
    FillPattern(host_.Layer());

    // The frame rendered alone, checked against the literal reference.
    test::WorldCopy expected(host_.Output());
    ASSERT_EQ(host_.RenderSmart(), PF_Err_NONE);
    const PixelBuffer source = test::BufferOf(*host_.Layer().def());
    ASSERT_EQ(test::ReferenceRender(PixelFormatOf(depth), &source, expected.buffer(),
                                    reference::ResolveSettings(host_.Params())),
              0);
    ASSERT_TRUE(expected.Matches(host_.Output()));
    alone_ = WholeRows(host_.Output());
  }

  void Report(const char* host) const {
    std::printf(
        "[ threads  ] %s: %d threads x %d frames at %d bits per channel, one shared "
        "source and pre-render record\n",
        host, kThreads, kFramesPerThread, int(GetParam()));
  }

  PluginHost host_;
  std::vector<std::uint8_t> alone_;
};

TEST_P(ConcurrentRender, ThroughTheInProcessHost) {
  const PixelDepth depth = GetParam();
  SmartFrame shared;
  ASSERT_EQ(host_.SmartPreRender(&shared), PF_Err_NONE);
  ASSERT_TRUE(shared.pending());

  std::atomic<int> failures{0}, mismatches{0};
  std::vector<std::unique_ptr<World>> outputs;
  std::vector<std::deque<SmartFrame>> own(kThreads);
  for (int t = 0; t < kThreads; ++t)
    outputs.push_back(std::make_unique<World>(depth, kWidth, kHeight, Stride(depth)));
  RunThreads([&](int t, int f) {
    World& output = *outputs[std::size_t(t)];
    output.Clear();
    PF_Err err = PF_Err_NONE;
    switch (kWays[std::size_t(f + t) % std::size(kWays)]) {
      case Way::kSharedRecord:
        err = host_.SmartRender(shared, &output);
        break;
      case Way::kOwnPreRender: {
        std::deque<SmartFrame>& frames = own[std::size_t(t)];
        frames.emplace_back();
        err = host_.SmartPreRender(&frames.back());
        if (err == PF_Err_NONE) err = host_.SmartRender(frames.back(), &output);
        if (frames.size() > 1) frames.pop_front();  // the frame before is done now
        break;
      }
      case Way::kLegacy:
        err = host_.RenderLegacy(&output);
        break;
    }
    if (err != PF_Err_NONE) failures.fetch_add(1);
    if (WholeRows(output) != alone_) mismatches.fetch_add(1);
  });
  own.clear();
  shared.Release();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(host_.Log().CheckoutBalance(), 0);
  EXPECT_EQ(host_.Log().SuiteImbalance(), 0);
  EXPECT_EQ(host_.Log().preRenderKept, host_.Log().preRenderDeleted);
  EXPECT_TRUE(host_.Log().guardFailures.empty());
  Report("in-process host");
}

TEST_P(ConcurrentRender, ThroughAHostThatTakesNoLock) {
  const PixelDepth depth = GetParam();
  ThreadHost threaded(host_.Params(), host_.Layer().def());
  World sharedOutput(depth, kWidth, kHeight, Stride(depth));
  ThreadHost::Context main{&threaded, sharedOutput.def(), PixelFormatOf(depth)};
  PF_PreRenderOutput shared{};
  ASSERT_EQ(threaded.PreRender(main, shared), PF_Err_NONE);
  ASSERT_NE(shared.pre_render_data, nullptr);

  std::vector<std::unique_ptr<World>> outputs;
  std::vector<ThreadHost::Context> contexts;
  for (int t = 0; t < kThreads; ++t) {
    outputs.push_back(std::make_unique<World>(depth, kWidth, kHeight, Stride(depth)));
    contexts.push_back({&threaded, outputs.back()->def(), PixelFormatOf(depth)});
  }
  std::vector<int> failures(kThreads, 0), mismatches(kThreads, 0);
  std::vector<std::deque<PF_PreRenderOutput>> own(kThreads);
  RunThreads([&](int t, int f) {
    ThreadHost::Context& c = contexts[std::size_t(t)];
    World& output = *outputs[std::size_t(t)];
    output.Clear();
    PF_Err err = PF_Err_NONE;
    switch (kWays[std::size_t(f + t) % std::size(kWays)]) {
      case Way::kSharedRecord:
        err = threaded.Render(c, shared.pre_render_data);
        break;
      case Way::kOwnPreRender: {
        std::deque<PF_PreRenderOutput>& records = own[std::size_t(t)];
        records.emplace_back();
        err = threaded.PreRender(c, records.back());
        if (err == PF_Err_NONE) err = threaded.Render(c, records.back().pre_render_data);
        if (records.size() > 1) {  // the frame before is done now
          records.front().delete_pre_render_data_func(records.front().pre_render_data);
          records.pop_front();
        }
        break;
      }
      case Way::kLegacy:
        err = threaded.Legacy(c);
        break;
    }
    failures[std::size_t(t)] += err != PF_Err_NONE;
    mismatches[std::size_t(t)] += WholeRows(output) != alone_;
  });
  for (auto& records : own)
    for (PF_PreRenderOutput& r : records) r.delete_pre_render_data_func(r.pre_render_data);
  shared.delete_pre_render_data_func(shared.pre_render_data);

  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    const ThreadHost::Context& c = contexts[std::size_t(t)];
    EXPECT_EQ(failures[std::size_t(t)], 0);
    EXPECT_EQ(mismatches[std::size_t(t)], 0);
    EXPECT_EQ(c.checkouts, c.checkins);
    EXPECT_EQ(c.acquires, c.releases);
    EXPECT_GT(c.acquires, 0);
    EXPECT_TRUE(outputs[std::size_t(t)]->CheckGuards().Intact());
  }
  Report("host without locks");
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, ConcurrentRender,
                         ::testing::Values(PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat),
                         [](const ::testing::TestParamInfo<PixelDepth>& param) {
                           return "Depth" + std::to_string(int(param.param));
                         });

}  // namespace
}  // namespace tessaline
