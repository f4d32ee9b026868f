// Render speed of the grid composition beside the work every frame needs
// anyway: copying the source ("Composite Over Source") or clearing the output
// ("Grid Only"), each row by row and as one whole-frame memcpy or memset (the
// C library writes large frames with streaming stores: the machine's floor).
// One run measures the baselines, the passes for typical presets and a dense
// worst case, and the literal per-pixel algorithm on the dense case, then
// prints a summary table with each pass against the best baseline of its mode.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/GridComposition.h"
#include "core/GridSettings.h"
#include "presets/GridPreset.h"
#include "presets/PopupLabels.h"
#include "tests/support/FakeControls.h"
#include "tests/support/PresetControls.h"
#include "tests/support/ReferenceGrid.h"
#include "tests/support/RenderPass.h"

namespace tessaline {
namespace {

struct FrameSize {
  std::int32_t width, height;
};
constexpr FrameSize kSizes[] = {{1920, 1080}, {3840, 2160}, {7680, 4320}};
// The literal algorithm takes seconds per frame: measured at one size.
constexpr FrameSize kLiteralSize = {3840, 2160};

// A pass over a frame: a preset from the calculator at the frame's size, or
// the dense worst case (preset 0 here).
struct PassCase {
  std::int32_t preset;
  std::int32_t blendMode;
};
constexpr std::int32_t kDense = 0;
constexpr PassCase kPasses[] = {
    {3, kBlendCompositeOverSource},  // "Balanced Grid"
    {2, kBlendCompositeOverSource},  // "Fine Draft"
    {6, kBlendCompositeOverSource},  // "Thirds"
    {kPresetMarginFrame, kBlendGridOnly}, {kDense, kBlendCompositeOverSource},
};

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

// A source with varied pixels and an output, both touched once so that no
// page is first mapped while timing. Kept for the whole run: repetitions of
// different benchmarks are interleaved.
struct Frames {
  std::vector<std::uint8_t> sourceBytes, outputBytes;
  PixelBuffer source, output;
};

template <typename Pixel>
Frames& FramesFor(const FrameSize& size) {
  static std::map<std::int32_t, Frames> frames;
  Frames& f = frames[size.width];
  if (!f.sourceBytes.empty()) return f;
  const std::int32_t rowbytes = size.width * std::int32_t(sizeof(Pixel));
  const std::size_t bytes = std::size_t(rowbytes) * std::size_t(size.height);
  f.sourceBytes.resize(bytes);
  f.outputBytes.assign(bytes, 0);
  f.source = PixelBuffer{f.sourceBytes.data(), rowbytes, size.width, size.height};
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
        using Channel = decltype(row[c].red);
        const double full = sizeof(Pixel) == 4 ? 255.0 : 32768.0;
        row[c] = Pixel{Channel(full), Channel(unit * full), Channel(c * full / size.width),
                       Channel(r * full / size.height)};
      }
    }
  }
  return f;
}

// Benchmark names and their roles, for the summary.
struct Entry {
  std::string name, pass, mode, depth, size;
  std::vector<std::string> baselines;  // the fastest of them is the ratio's base
  std::string literal;
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
// repetitions interleaved with those of the others, and reports the fastest:
// on a shared machine the minimum is the most stable figure.
constexpr double kMinTime = 0.1;
constexpr int kRepetitions = 5;
constexpr int kLiteralRepetitions = 3;

// Reports only the fastest of `repetitions` runs, in milliseconds.
benchmark::internal::Benchmark* KeepFastest(benchmark::internal::Benchmark* b, int repetitions) {
  return b->Repetitions(repetitions)
      ->ComputeStatistics(
          "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
}

benchmark::internal::Benchmark* Timed(benchmark::internal::Benchmark* b) {
  return KeepFastest(b->MinTime(kMinTime), kRepetitions);
}

// A baseline: `work` once per iteration on the frames of the size.
template <typename Pixel, typename Work>
std::string RegisterBaseline(const FrameSize& size, const char* name, const char* pass, Work work) {
  const std::string full = Name(name, DepthName<Pixel>(), size);
  Timed(benchmark::RegisterBenchmark(full.c_str(), [size, work](benchmark::State& state) {
    Frames& f = FramesFor<Pixel>(size);
    const std::size_t row = std::size_t(size.width) * sizeof(Pixel);
    for (auto _ : state) {
      work(f, row);
      benchmark::ClobberMemory();
    }
  }));
  Entries().push_back({full, pass, "baseline", DepthName<Pixel>(), SizeName(size), {}, ""});
  return full;
}

template <typename Pixel>
void RegisterDepth(const FrameSize& size) {
  const char* depth = DepthName<Pixel>();
  const std::vector<std::string> copies = {
      RegisterBaseline<Pixel>(size, "copy rows", "copy rows (memcpy)",
                              [size](Frames& f, std::size_t row) {
                                for (std::int32_t r = 0; r < size.height; ++r)
                                  std::memcpy(RowAddress(f.output, r), RowAddress(f.source, r),
                                              row);
                              }),
      RegisterBaseline<Pixel>(
          size, "copy frame", "copy frame (memcpy)", [](Frames& f, std::size_t) {
            std::memcpy(f.outputBytes.data(), f.sourceBytes.data(), f.outputBytes.size());
          })};
  const std::vector<std::string> clears = {
      RegisterBaseline<Pixel>(size, "clear rows", "clear rows (memset)",
                              [size](Frames& f, std::size_t row) {
                                for (std::int32_t r = 0; r < size.height; ++r)
                                  std::memset(RowAddress(f.output, r), 0, row);
                              }),
      RegisterBaseline<Pixel>(size, "clear frame", "clear frame (memset)",
                              [](Frames& f, std::size_t) {
                                std::memset(f.outputBytes.data(), 0, f.outputBytes.size());
                              })};

  for (const PassCase& pass : kPasses) {
    const GridSettings settings = SettingsFor(pass, size);
    const std::string name = Name(PassName(pass), depth, size);
    const bool literalSize = size.width == kLiteralSize.width && size.height == kLiteralSize.height;
    const std::string literal =
        pass.preset == kDense && literalSize ? Name(PassName(pass) + " literal", depth, size) : "";
    Timed(benchmark::RegisterBenchmark(name.c_str(), [size, settings](benchmark::State& state) {
      Frames& f = FramesFor<Pixel>(size);
      for (auto _ : state) {
        if (test::RenderPass<Pixel>(&f.source, f.output, settings) != kErrNone)
          state.SkipWithError("render");
        benchmark::ClobberMemory();
      }
    }));
    Entries().push_back({name, PassName(pass), ModeName(pass), depth, SizeName(size),
                         pass.blendMode == kBlendGridOnly ? clears : copies, literal});
    if (literal.empty()) continue;
    // The literal algorithm takes up to seconds per frame: the fastest of a
    // few single frames, so that the speed-up does not hang on one of them.
    KeepFastest(benchmark::RegisterBenchmark(literal.c_str(),
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
    Entries().push_back({literal, PassName(pass) + ", literal per-pixel algorithm", ModeName(pass),
                         depth, SizeName(size), copies, ""});
  }
}

// Console output as usual, and each benchmark's time per frame kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Every benchmark reports only its fastest repetition (KeepFastest).
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
        milliseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
  }
  std::map<std::string, double> milliseconds;
};

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

void PrintSummary(const std::map<std::string, double>& ms) {
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
  std::printf("\nMachine: %s, %u logical CPUs (nproc), %s\n\n", CpuModel().c_str(),
              std::thread::hardware_concurrency(), date);
  std::printf(
      "| Pass | Mode | Size | Depth | ms / frame | × best baseline | speed-up over literal |\n");
  std::printf("|---|---|---|---|---:|---:|---:|\n");
  for (const Entry& e : Entries()) {
    const auto found = ms.find(e.name);
    if (found == ms.end()) continue;
    std::string ratio, speedup;
    char text[32];
    double best = 0.0;
    for (const std::string& baseline : e.baselines) {
      const auto base = ms.find(baseline);
      if (base != ms.end() && (best == 0.0 || base->second < best)) best = base->second;
    }
    if (best > 0.0) {
      std::snprintf(text, sizeof text, "%.2f", found->second / best);
      ratio = text;
    }
    if (const auto literal = ms.find(e.literal); literal != ms.end()) {
      std::snprintf(text, sizeof text, "%.1f", literal->second / found->second);
      speedup = text;
    }
    std::printf("| %s | %s | %s | %s | %.2f | %s | %s |\n", e.pass.c_str(), e.mode.c_str(),
                e.size.c_str(), e.depth.c_str(), found->second, ratio.c_str(), speedup.c_str());
  }
}

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
  using namespace tessaline;
  for (const FrameSize& size : kSizes) {
    RegisterDepth<Pixel8>(size);
    RegisterDepth<Pixel16>(size);
    RegisterDepth<PixelFloat>(size);
  }
  // Repetitions of different benchmarks interleaved unless told otherwise.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  argc = int(args.size());
  benchmark::Initialize(&argc, args.data());
  if (benchmark::ReportUnrecognizedArguments(argc, args.data())) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintSummary(reporter.milliseconds);
  return 0;
}
