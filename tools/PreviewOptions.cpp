#include "tools/PreviewOptions.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "tools/Frame.h"
#include "tools/PreviewError.h"
#include "tools/TextMatch.h"

namespace tessaline {
namespace {

// A whole decimal number from 1 to max, or nothing.
std::optional<std::int32_t> PositiveNumber(std::string_view text, std::int32_t max) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < 1 || value > max) {
    return std::nullopt;
  }
  return value;
}

// "N" (when `single` is allowed, meaning NxN) or "NxM".
std::optional<FrameSize> Pair(std::string_view text, bool single) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) {
    if (!single) return std::nullopt;
    const auto n = PositiveNumber(text, kMaxFrameSide);
    if (!n) return std::nullopt;
    return FrameSize{*n, *n};
  }
  const auto w = PositiveNumber(text.substr(0, x), kMaxFrameSide);
  const auto h = PositiveNumber(text.substr(x + 1), kMaxFrameSide);
  if (!w || !h) return std::nullopt;
  return FrameSize{*w, *h};
}

// "A,B,C,D": four whole numbers from -max to max.
std::optional<std::array<std::int32_t, 4>> Four(std::string_view text, std::int32_t max) {
  std::array<std::int32_t, 4> values{};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      if (at == end || *at != ',') return std::nullopt;
      ++at;
    }
    const auto [ptr, ec] = std::from_chars(at, end, values[i]);
    if (ec != std::errc() || ptr == at || values[i] < -max || values[i] > max) return std::nullopt;
    at = ptr;
  }
  if (at != end) return std::nullopt;
  return values;
}

// 'text', for messages.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += text;
  quoted += '\'';
  return quoted;
}

[[noreturn]] void Fail(std::string_view option, const std::string& message) {
  throw PreviewError(std::string(option) + ": " + message);
}

}  // namespace

PreviewOptions ParseOptions(std::span<const std::string_view> args) {
  PreviewOptions options;
  std::vector<std::string_view> given;  // every option but --set, by its long name
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view option = args[i];
    std::optional<std::string_view> inlineValue;
    if (option.starts_with("--")) {
      if (const std::size_t eq = option.find('='); eq != std::string_view::npos) {
        inlineValue = option.substr(eq + 1);
        option = option.substr(0, eq);
      }
    }
    // A second value would silently replace the first.
    const std::string_view name =
        option == "-o" ? "--output" : (option == "-h" ? "--help" : option);
    if (name != "--set") {
      if (std::find(given.begin(), given.end(), name) != given.end()) {
        Fail(option, "given more than once");
      }
      given.push_back(name);
    }
    // The option's value: after "=", else the next argument.
    const auto value = [&]() -> std::string_view {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) Fail(option, "needs a value");
      return args[++i];
    };
    const auto noValue = [&] {
      if (inlineValue) Fail(option, "takes no value");
    };

    if (option == "--help" || option == "-h") {
      noValue();
      options.help = true;
    } else if (option == "--size") {
      const std::string_view text = value();
      const auto size = Pair(text, false);
      if (!size) {
        Fail(option, Quoted(text) + " is not WIDTHxHEIGHT with each side from 1 to " +
                         std::to_string(kMaxFrameSide));
      }
      options.size = size;
    } else if (option == "--depth") {
      const std::string_view text = value();
      if (text == "8") {
        options.depth = PixelDepth::k8;
      } else if (text == "16") {
        options.depth = PixelDepth::k16;
      } else if (text == "32") {
        options.depth = PixelDepth::kFloat;
      } else {
        Fail(option, Quoted(text) + " is not 8, 16 or 32");
      }
    } else if (option == "--render") {
      const std::string_view text = value();
      if (text == "smart") {
        options.render = RenderPath::kSmart;
      } else if (text == "legacy") {
        options.render = RenderPath::kLegacy;
      } else {
        Fail(option, Quoted(text) + " is not smart or legacy");
      }
    } else if (option == "--preset") {
      options.preset = std::string(value());
    } else if (option == "--resolution") {
      options.resolution = std::string(value());
    } else if (option == "--set") {
      const std::string_view text = value();
      const std::size_t eq = text.find('=');
      if (eq == std::string_view::npos || eq == 0) {
        Fail(option, Quoted(text) + " is not LABEL=VALUE");
      }
      options.edits.push_back(
          ControlEdit{std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))});
    } else if (option == "--source") {
      options.source = ParseSource(value());
    } else if (option == "-o" || option == "--output") {
      const std::string_view text = value();
      if (!EndsWithNoCase(text, ".png") && !EndsWithNoCase(text, ".raw")) {
        Fail(option, Quoted(text) + " does not end in .png or .raw");
      }
      options.output = std::string(text);
    } else if (option == "--print-params") {
      noValue();
      options.printParams = true;
    } else if (option == "--gallery") {
      const std::string_view text = value();
      if (text.empty()) Fail(option, "needs a folder");
      options.galleryDir = std::string(text);
    } else if (option == "--downsample") {
      const std::string_view text = value();
      const auto factors = Pair(text, true);
      if (!factors) {
        Fail(option, Quoted(text) + " is not N or NxM with whole factors from 1 to " +
                         std::to_string(kMaxFrameSide));
      }
      options.downsample = *factors;
    } else if (option == "--region") {
      const std::string_view text = value();
      const auto v = Four(text, kMaxFrameSide);
      if (!v || (*v)[0] >= (*v)[2] || (*v)[1] >= (*v)[3]) {
        Fail(option, Quoted(text) + " is not L,T,R,B with L < R, T < B, each from -" +
                         std::to_string(kMaxFrameSide) + " to " + std::to_string(kMaxFrameSide));
      }
      options.region = PixelRect{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
    } else if (option == "--grow") {
      const std::string_view text = value();
      const auto v = Four(text, kMaxFrameSide);
      if (!v || std::any_of(v->begin(), v->end(), [](std::int32_t n) { return n < 0; })) {
        Fail(option,
             Quoted(text) + " is not L,T,R,B with each from 0 to " + std::to_string(kMaxFrameSide));
      }
      options.grow = WorldMargins{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
    } else {
      throw PreviewError("unknown option " + Quoted(args[i]) + " (see --help)");
    }
  }
  if (options.help) return options;

  if (options.galleryDir) {
    if (options.preset) Fail("--gallery", "renders every preset; leave out --preset");
    if (options.output) Fail("--gallery", "writes its own files; leave out -o");
    const WorldMargins& g = options.grow;
    if (options.region || g.left + g.top + g.right + g.bottom > 0) {
      Fail("--gallery", "renders whole frames; leave out --region and --grow");
    }
  } else if (!options.output && !options.printParams) {
    throw PreviewError("nothing to do: give -o FILE.png|FILE.raw, --print-params or --gallery DIR");
  }
  if (options.region) {
    const PixelRect& r = *options.region;
    if (FrameBytes(options.depth, r.right - r.left, r.bottom - r.top) > kMaxFrameBytes) {
      Fail("--region", "the region at " + std::to_string(int(options.depth)) +
                           " bits needs more than the 2 GiB a preview frame may have");
    }
  }
  if (options.size) {
    const std::string beyond =
        BeyondFrameLimits(options.depth, options.size->width, options.size->height);
    if (!beyond.empty()) Fail("--size", "too large: " + beyond);
  }
  return options;
}

std::string UsageText() {
  return R"(usage: tessaline-preview [options] (-o FILE.png|FILE.raw | --print-params | --gallery DIR)

Renders one frame of the Tessaline grid through the plug-in's entry point,
driven the way the host drives it.

  --size WxH             layer size (default 1920x1080, or the size of a PNG source)
  --depth 8|16|32        bits per channel (default 8; 32 is float)
  --render smart|legacy  smart render pair or the legacy render command (default smart)
  --preset NAME|N        pick a "Preset" entry by its label or 1-based number
  --resolution NAME|N    pick a "Resolution" entry by its label or 1-based number
  --set "LABEL=VALUE"    set any control by its label, in order (repeatable):
                         numbers for sliders (clamped to the control's range,
                         with a warning), on/off for checkboxes, a label or
                         number for popups, #RRGGBB or #RRGGBBAA for colors
  --source SOURCE        the input layer: transparent, gray (default), checker,
                         sample, FILE.png or FILE.raw
  --downsample N|NxM     render at a reduced resolution (2 = Half, 4 = Quarter)
  --region L,T,R,B       the host asks for this part of the layer only; the file
                         holds just it, (R-L)x(B-T) pixels, transparent where the
                         effect rendered nothing (pixels of the rendered frame,
                         the layer's top-left pixel at 0,0)
  --grow L,T,R,B         an earlier effect grew the layer by that many transparent
                         pixels on the left, top, right and bottom; the file holds
                         the whole grown frame with the layer at (L, T)
  -o FILE.png|FILE.raw   write the frame: a PNG (8 bits for 8-bit frames, else 16;
                         straight color, as PNG sources are read), or the exact
                         pixels (rows top to bottom, no padding, channels alpha,
                         red, green, blue, little-endian)
  --print-params         list the controls after all changes (greyed-out ones marked)
  --gallery DIR          every preset from "Fine Draft" to "Presentation" as PNGs,
                         with DIR/index.html
  -h, --help             this text

Every option but --set is given at most once. Errors print one line and exit
with code 2; warnings print one line each and the command goes on.
)";
}

}  // namespace tessaline
