// Render speed of the grid composition beside the machine's floor for the
// same bytes, measured in the same process: a streaming copy of the frame
// for a composited frame, a streaming zero fill for "Grid Only" (64-byte
// loads and non-temporal stores at the widest level the machine has, the
// source read about 16 KB ahead, one fence), with the C library's memcpy and
// memset beside them. Every pass runs at every instruction-set level the
// machine has, over an opaque source and over one whose every pixel has its
// own alpha, and is reported against its mode's floor with the spread of its
// repetitions. The dense worst case runs at the widest level beside the
// literal per-pixel algorithm.
//
// --load runs a memory-bandwidth load (a copy between two buffers far larger
// than the cache) on the other core for the whole run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>

#include "core/GridComposition.h"
#include "core/GridSettings.h"
#include "core/Kernels.h"
#include "core/StreamedWrites.h"
#include "presets/GridPreset.h"
#include "presets/PopupLabels.h"
#include "tests/support/FakeControls.h"
#include "tests/support/PresetControls.h"
#include "tests/support/ReferenceGrid.h"

namespace tessaline {
namespace {

struct FrameSize {
  std::int32_t width, height;
};
constexpr FrameSize kSizes[] = {{1920, 1080}, {3840, 2160}, {7680, 4320}};
// The literal algorithm is many times slower than the passes: run at one size.
constexpr FrameSize kLiteralSize = {3840, 2160};

// A pass over a frame: a preset from the calculator at the frame's size, or
// the dense worst case (preset 0 here).
struct PassCase {
  std::int32_t preset;
  std::int32_t blendMode;
};
constexpr std::int32_t kDense = 0;
constexpr PassCase kPasses[] = {
    {3, kBlendCompositeOverSource},   // "Balanced Grid"
    {2, kBlendCompositeOverSource},   // "Fine Draft"
    {6, kBlendCompositeOverSource},   // "Thirds"
    {10, kBlendCompositeOverSource},  // "Safe Area 90"
    {kPresetMarginFrame, kBlendGridOnly},
};
constexpr PassCase kDenseCase{kDense, kBlendCompositeOverSource};

std::string PassName(const PassCase& pass) {
  return pass.preset == kDense ? "Dense" : std::string(kPresetLabels[pass.preset - 1]);
}
std::string ModeName(const PassCase& pass) {
  return std::string(kBlendModeLabels[pass.blendMode - 1]);
}

// The settings a render of this case resolves: the preset's values as the
// preset application writes them into the controls, then ResolveGridSettings.
GridSettings SettingsFor(const PassCase& pass, const FrameSize& size) {
  test::FakeControls controls;
  controls.ints[kBlendMode] = pass.blendMode;
  if (pass.preset == kDense) {
    controls.ints[kPreset] = kPresetCustom;
    controls.doubles[kXSpacing] = controls.doubles[kYSpacing] = 5.0;
    controls.ints[kXCount] = controls.ints[kYCount] = kMaxLineCount;
    controls.ints[kOuterColorCount] = kColorSlotCount;
    controls.doubles[kLineWidth] = controls.doubles[kCenterLineWidth] = kMaxLineWidth;
    controls.doubles[kOpacity] = 50.0;
    return ResolveGridSettings(controls);
  }
  const GridPreset p = ComputeGridPreset(pass.preset, size.width, size.height);
  controls = test::PresetControls(pass.preset, p, pass.blendMode);
  return ResolveGridSettings(controls);
}

template <typename Pixel>
constexpr const char* DepthName() {
  if constexpr (sizeof(Pixel) == 4) return "8-bit";
  if constexpr (sizeof(Pixel) == 8) return "16-bit";
  return "float";
}

// Sources with varied pixels, opaque or each with an alpha of its own, and
// an output, all touched once so that no page is first mapped while timing.
// Kept for the whole run: repetitions of different benchmarks are
// interleaved.
struct Frames {
  std::vector<std::uint8_t> sourceBytes, alphaBytes, outputBytes;
  PixelBuffer source, alphaSource, output;
};

template <typename Pixel>
Frames& FramesFor(const FrameSize& size) {
  static std::map<std::int32_t, Frames> frames;
  Frames& f = frames[size.width];
  if (!f.sourceBytes.empty()) return f;
  const std::int32_t rowbytes = size.width * std::int32_t(sizeof(Pixel));
  const std::size_t bytes = std::size_t(rowbytes) * std::size_t(size.height);
  f.sourceBytes.resize(bytes);
  f.alphaBytes.resize(bytes);
  f.outputBytes.assign(bytes, 0);
  f.source = PixelBuffer{f.sourceBytes.data(), rowbytes, size.width, size.height};
  f.alphaSource = PixelBuffer{f.alphaBytes.data(), rowbytes, size.width, size.height};
  f.output = PixelBuffer{f.outputBytes.data(), rowbytes, size.width, size.height};
  std::uint32_t state = 2463534242u;
  for (std::int32_t r = 0; r < size.height; ++r) {
    Pixel* row = PixelRow<Pixel>(f.source, r);
    for (std::int32_t c = 0; c < size.width; ++c) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const double unit = (state & 0xFFFF) / 65535.0;
      if constexpr (sizeof(Pixel) == 16) {
        const float v = float(unit);
        row[c] = Pixel{1.0f, v, float(c) / float(size.width), float(r) / float(size.height)};
      } else {
        using Channel = typename PixelTraits<Pixel>::Channel;
        constexpr double full = PixelTraits<Pixel>::kFullScale;
        row[c] = Pixel{Channel(full), Channel(unit * full), Channel(c * full / size.width),
                       Channel(r * full / size.height)};
      }
      Pixel& translucent = PixelRow<Pixel>(f.alphaSource, r)[c];
      translucent = row[c];
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      translucent.alpha = typename PixelTraits<Pixel>::Channel((state & 0xFFFF) / 65535.0 *
                                                               PixelTraits<Pixel>::kFullScale);
    }
  }
  return f;
}

// The floor: `bytes` from `from` (zeros when null) to `to` with the core's
// streaming writes at the widest level the machine has: whole cache lines
// with streaming stores, the source read ahead, the partial lines at either
// end with ordinary stores, one fence at the end.
void Floor(std::byte* to, const std::byte* from, std::size_t bytes) {
  StreamedWrites out(KernelsFor(AvailableIsas().back()));
  out.Write(to, from, bytes);
  out.Finish();
}

// Benchmark names and their roles, for the summary.
struct Entry {
  std::string name, pass, mode, source, depth, size, level;
  std::string floor;    // the ratio's base
  std::string literal;  // for the speed-up
};
std::vector<Entry>& Entries() {
  static std::vector<Entry> entries;
  return entries;
}

std::string SizeName(const FrameSize& size) {
  return std::to_string(size.width) + " x " + std::to_string(size.height);
}

std::string Name(const std::string& what, const char* depth, const FrameSize& size) {
  return what + "/" + depth + "/" + std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Each benchmark runs kRepetitions times for at least kMinTime seconds, its
// repetitions interleaved with those of the others, and reports the fastest
// and the slowest: on a shared machine the minimum is the most stable figure.
constexpr double kMinTime = 0.05;
constexpr int kRepetitions = 5;
constexpr int kLiteralRepetitions = 3;

benchmark::internal::Benchmark* MinAndMax(benchmark::internal::Benchmark* b, int repetitions) {
  return b->Repetitions(repetitions)
      ->ComputeStatistics(
          "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ComputeStatistics(
          "max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
}

benchmark::internal::Benchmark* Timed(benchmark::internal::Benchmark* b) {
  return MinAndMax(b->MinTime(kMinTime), kRepetitions);
}

// A baseline: `work` once per iteration on the frames of the size.
template <typename Pixel, typename Work>
std::string RegisterBaseline(const FrameSize& size, const std::string& pass, Work work) {
  const std::string full = Name(pass, DepthName<Pixel>(), size);
  Timed(benchmark::RegisterBenchmark(full.c_str(), [size, work](benchmark::State& state) {
    Frames& f = FramesFor<Pixel>(size);
    for (auto _ : state) {
      work(f);
      benchmark::ClobberMemory();
    }
  }));
  Entries().push_back({full, pass, "baseline", "", DepthName<Pixel>(), SizeName(size), "", "", ""});
  return full;
}

template <typename Pixel>
std::string RegisterPass(const FrameSize& size, const PassCase& pass, bool alphas, IsaLevel level,
                         const std::string& floor, const std::string& literal = "") {
  const GridSettings settings = SettingsFor(pass, size);
  const std::string name =
      Name(PassName(pass) + (alphas ? " alphas " : " ") + IsaName(level), DepthName<Pixel>(), size);
  Timed(benchmark::RegisterBenchmark(
      name.c_str(), [size, settings, alphas, level](benchmark::State& state) {
        Frames& f = FramesFor<Pixel>(size);
        ForceIsa(level);
        for (auto _ : state) {
          if (RenderGrid<Pixel>(alphas ? &f.alphaSource : &f.source, f.output, settings,
                                CenteredPlacement(f.output)) != kErrNone)
            state.SkipWithError("render");
          benchmark::ClobberMemory();
        }
      }));
  Entries().push_back({name, PassName(pass), ModeName(pass),
                       pass.blendMode == kBlendGridOnly ? ""
                       : alphas                         ? "own alphas"
                                                        : "opaque",
                       DepthName<Pixel>(), SizeName(size), IsaName(level), floor, literal});
  return name;
}

template <typename Pixel>
void RegisterDepth(const FrameSize& size) {
  const char* depth = DepthName<Pixel>();
  const auto bytes = [](Frames& f) { return f.outputBytes.size(); };
  const auto out = [](Frames& f) { return reinterpret_cast<std::byte*>(f.outputBytes.data()); };
  const std::string copyFloor = RegisterBaseline<Pixel>(size, "streaming copy", [&](Frames& f) {
    Floor(out(f), reinterpret_cast<const std::byte*>(f.sourceBytes.data()), bytes(f));
  });
  const std::string zeroFloor = RegisterBaseline<Pixel>(
      size, "streaming zero fill", [&](Frames& f) { Floor(out(f), nullptr, bytes(f)); });
  RegisterBaseline<Pixel>(size, "memcpy", [](Frames& f) {
    std::memcpy(f.outputBytes.data(), f.sourceBytes.data(), f.outputBytes.size());
  });
  RegisterBaseline<Pixel>(size, "memset", [](Frames& f) {
    std::memset(f.outputBytes.data(), 0, f.outputBytes.size());
  });
  for (const IsaLevel level : AvailableIsas())
    for (const PassCase& pass : kPasses) {
      const bool gridOnly = pass.blendMode == kBlendGridOnly;
      RegisterPass<Pixel>(size, pass, false, level, gridOnly ? zeroFloor : copyFloor);
      if (!gridOnly) RegisterPass<Pixel>(size, pass, true, level, copyFloor);
    }
  // The dense worst case at the widest level, and the literal algorithm on it at one size.
  const bool literalSize = size.width == kLiteralSize.width && size.height == kLiteralSize.height;
  const std::string literal = literalSize ? Name("Dense literal", depth, size) : "";
  RegisterPass<Pixel>(size, kDenseCase, false, AvailableIsas().back(), copyFloor, literal);
  if (literal.empty()) return;
  const GridSettings settings = SettingsFor(kDenseCase, size);
  MinAndMax(benchmark::RegisterBenchmark(literal.c_str(),
                                         [size, settings](benchmark::State& state) {
                                           Frames& f = FramesFor<Pixel>(size);
                                           for (auto _ : state) {
                                             reference::RenderGrid<Pixel>(&f.source, f.output,
                                                                          settings);
                                             benchmark::ClobberMemory();
                                           }
                                         })
                ->Iterations(1),
            kLiteralRepetitions);
  Entries().push_back({literal, "Dense, literal per-pixel algorithm", ModeName(kDenseCase),
                       "opaque", depth, SizeName(size), "", copyFloor, ""});
}

// Console output as usual, and each benchmark's fastest and slowest
// repetition kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Aggregate) continue;
      if (run.aggregate_name == "min")
        fastest[run.run_name.function_name] = run.GetAdjustedRealTime();
      if (run.aggregate_name == "max")
        slowest[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
  }
  std::map<std::string, double> fastest, slowest;
};

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

std::string Format(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void PrintSummary(const SummaryReporter& r, bool loaded) {
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
  std::printf("\nMachine: %s, %u logical CPUs (nproc), %s; levels:", CpuModel().c_str(),
              std::thread::hardware_concurrency(), date);
  for (const IsaLevel level : AvailableIsas()) std::printf(" %s", IsaName(level));
  std::printf("; streaming from %.1f MiB; memory %s\n\n", StreamingThreshold() / 1048576.0,
              loaded ? "loaded from the other core" : "quiet");
  std::printf(
      "| Pass | Mode | Source | Size | Depth | Level | ms / frame | × floor | spread | speed-up "
      "over "
      "literal |\n");
  std::printf("|---|---|---|---|---|---|---:|---:|---:|---:|\n");
  for (const Entry& e : Entries()) {
    const auto found = r.fastest.find(e.name);
    if (found == r.fastest.end()) continue;
    const double ms = found->second;
    std::string ratio, spread, speedup;
    if (const auto floor = r.fastest.find(e.floor); floor != r.fastest.end())
      ratio = Format("%.2f", ms / floor->second);
    if (const auto slowest = r.slowest.find(e.name); slowest != r.slowest.end())
      spread = Format("%.0f %%", (slowest->second / ms - 1.0) * 100.0);
    if (const auto literal = r.fastest.find(e.literal); literal != r.fastest.end())
      speedup = Format("%.1f", literal->second / ms);
    std::printf("| %s | %s | %s | %s | %s | %s | %.2f | %s | %s | %s |\n", e.pass.c_str(),
                e.mode.c_str(), e.source.c_str(), e.size.c_str(), e.depth.c_str(), e.level.c_str(),
                ms, ratio.c_str(), spread.c_str(), speedup.c_str());
  }
}

// Copies between two buffers far larger than the cache, on the other core,
// until told to stop; the benchmark's own thread stays on the first.
class MemoryLoad {
 public:
  MemoryLoad() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    CPU_SET(0, &cpus);
    sched_setaffinity(0, sizeof cpus, &cpus);
    thread_ = std::thread([this] {
      cpu_set_t other;
      CPU_ZERO(&other);
      CPU_SET(1, &other);
      sched_setaffinity(0, sizeof other, &other);
      std::vector<std::uint8_t> a(std::size_t{256} << 20, 1), b(a.size());
      while (!stop_) std::memcpy(b.data(), a.data(), a.size());
    });
  }
  ~MemoryLoad() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
  using namespace tessaline;
  std::vector<char*> args(argv, argv + argc);
  const auto load = std::find_if(args.begin(), args.end(),
                                 [](const char* a) { return std::strcmp(a, "--load") == 0; });
  const bool loaded = load != args.end();
  if (loaded) args.erase(load);
  for (const FrameSize& size : kSizes) {
    RegisterDepth<Pixel8>(size);
    RegisterDepth<Pixel16>(size);
    RegisterDepth<PixelFloat>(size);
  }
  // Repetitions of different benchmarks interleaved unless told otherwise.
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  argc = int(args.size());
  benchmark::Initialize(&argc, args.data());
  if (benchmark::ReportUnrecognizedArguments(argc, args.data())) return 1;
  SummaryReporter reporter;
  {
    std::optional<MemoryLoad> memoryLoad;
    if (loaded) memoryLoad.emplace();
    benchmark::RunSpecifiedBenchmarks(&reporter);
  }
  benchmark::Shutdown();
  PrintSummary(reporter, loaded);
  return 0;
}
