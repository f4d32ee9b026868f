#include "tools/SourceImages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "tools/FileIO.h"
#include "tools/ImageCodecs.h"
#include "tools/PngCodec.h"
#include "tools/PreviewError.h"
#include "tools/TextMatch.h"

namespace tessaline {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Clamp01(double v) {
  return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

double Smooth(double t) {
  t = Clamp01(t);
  return t * t * (3.0 - 2.0 * t);
}

// Coverage of a pixel by a shape whose edge lies `distance` pixels away
// (negative inside): a one-pixel anti-aliased edge.
double Coverage(double distance) {
  return Clamp01(0.5 - distance);
}

// The sample background at pixel center (x, y) of a w x h frame, opaque:
// an evening sky from indigo to peach, a glowing sun, two ranges of hills, a
// few soft translucent discs and a rounded card, so that lines show over
// dark, light and colored areas alike.
Rgb SampleBackground(double x, double y, double w, double h) {
  const double unit = std::min(w, h);  // shapes stay round at any aspect
  const double u = x / w;
  const double v = y / h;

  // Sky: three stops down the frame, warmed toward the sun's side.
  const Rgb top{0.10, 0.11, 0.30};
  const Rgb middle{0.55, 0.30, 0.48};
  const Rgb low{0.98, 0.70, 0.48};
  Rgb color =
      v < 0.55 ? Mix(top, middle, Smooth(v / 0.55)) : Mix(middle, low, Smooth((v - 0.55) / 0.2));
  color = Mix(color, Rgb{0.95, 0.55, 0.40}, 0.18 * Smooth(u));

  // Sun with a soft glow.
  const double sunX = 0.68 * w, sunY = 0.50 * h, sunR = 0.13 * unit;
  const double sunD = std::hypot(x - sunX, y - sunY);
  const double glow = std::exp(-std::pow((sunD - sunR) / (0.22 * unit), 2.0));
  color = Mix(color, Rgb{1.0, 0.78, 0.55}, 0.55 * (sunD > sunR ? glow : 1.0));
  color = Mix(color, Rgb{1.0, 0.92, 0.70}, Coverage(sunD - sunR));

  // Translucent discs in the sky.
  struct Disc {
    double x, y, r, strength;
  };
  constexpr Disc kDiscs[] = {{0.16, 0.22, 0.07, 0.16},
                             {0.27, 0.36, 0.035, 0.20},
                             {0.40, 0.16, 0.05, 0.12},
                             {0.86, 0.20, 0.04, 0.18}};
  for (const Disc& d : kDiscs) {
    const double dist = std::hypot(x - d.x * w, y - d.y * h) - d.r * unit;
    color = Mix(color, Rgb{1.0, 1.0, 1.0}, d.strength * Coverage(dist));
  }

  // Two ranges of hills; the far one hazy, the near one dark.
  constexpr double kTau = 2.0 * std::numbers::pi;
  const double far = h * (0.70 + 0.045 * std::sin(kTau * (u * 1.4 + 0.15)) +
                          0.02 * std::sin(kTau * (u * 3.7 + 0.4)));
  color = Mix(color, Mix(Rgb{0.30, 0.22, 0.40}, Rgb{0.20, 0.16, 0.32}, v), Coverage(far - y));
  const double nearTop =
      h * (0.82 + 0.05 * std::sin(kTau * (u * 0.9 + 0.55)) + 0.015 * std::sin(kTau * (u * 5.3)));
  color = Mix(color, Mix(Rgb{0.10, 0.16, 0.24}, Rgb{0.04, 0.07, 0.12}, v), Coverage(nearTop - y));

  // A rounded card in the lower left, half transparent.
  const double cx = 0.20 * w, cy = 0.80 * h, halfW = 0.13 * w, halfH = 0.07 * h;
  const double radius = 0.02 * unit;
  const double qx = std::abs(x - cx) - (halfW - radius);
  const double qy = std::abs(y - cy) - (halfH - radius);
  const double card =
      std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  color = Mix(color, Rgb{0.92, 0.94, 0.98}, 0.35 * Coverage(card));
  return color;
}

template <typename Pixel>
Frame Generate(SourceKind kind, FrameSize size) {
  Frame frame(kDepthOf<Pixel>, size.width, size.height);
  if (kind == SourceKind::kTransparent) return frame;
  const double full = kFullOf<Pixel>;
  const auto opaque = [&](const Rgb& c) {
    return Pixel{ToChannel<Pixel>(full), ToChannel<Pixel>(c.r * full), ToChannel<Pixel>(c.g * full),
                 ToChannel<Pixel>(c.b * full)};
  };
  const Pixel gray = opaque(Rgb{0.5, 0.5, 0.5});
  const Pixel light = opaque(Rgb{0.8, 0.8, 0.8});
  const Pixel dark = opaque(Rgb{0.6, 0.6, 0.6});
  for (std::int32_t r = 0; r < size.height; ++r) {
    Pixel* row = frame.Row<Pixel>(r);
    for (std::int32_t c = 0; c < size.width; ++c) {
      switch (kind) {
        case SourceKind::kChecker:
          row[c] = ((r / kCheckerCell + c / kCheckerCell) % 2 == 0) ? light : dark;
          break;
        case SourceKind::kSample:
          row[c] = opaque(SampleBackground(c + 0.5, r + 0.5, size.width, size.height));
          break;
        default:
          row[c] = gray;
          break;
      }
    }
  }
  return frame;
}

std::string SizeText(FrameSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

}  // namespace

SourceChoice ParseSource(std::string_view text) {
  constexpr std::pair<std::string_view, SourceKind> kNames[] = {
      {"transparent", SourceKind::kTransparent},
      {"gray", SourceKind::kGray},
      {"checker", SourceKind::kChecker},
      {"sample", SourceKind::kSample}};
  for (const auto& [name, kind] : kNames) {
    if (text == name) return SourceChoice{kind, {}};
  }
  if (EndsWithNoCase(text, ".png")) return SourceChoice{SourceKind::kPngFile, std::string(text)};
  if (EndsWithNoCase(text, ".raw")) return SourceChoice{SourceKind::kRawFile, std::string(text)};
  throw PreviewError("--source: unknown source '" + std::string(text) +
                     "' (use transparent, gray, checker, sample, FILE.png or FILE.raw)");
}

Frame MakeBuiltInSource(SourceKind kind, PixelDepth depth, FrameSize size) {
  return WithPixelType(depth, [&]<typename Pixel>(Pixel) { return Generate<Pixel>(kind, size); });
}

Frame LoadSource(const SourceChoice& source, PixelDepth depth, std::optional<FrameSize> size,
                 FrameSize fallback) {
  const FrameSize wanted = size.value_or(fallback);
  if (source.kind != SourceKind::kPngFile && source.kind != SourceKind::kRawFile) {
    return MakeBuiltInSource(source.kind, depth, wanted);
  }
  try {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(source.path);
    if (source.kind == SourceKind::kRawFile) {
      return DecodeRaw(bytes, depth, wanted.width, wanted.height);
    }
    const RgbaImage image = DecodePng(bytes);
    const FrameSize found{image.width, image.height};
    if (size.has_value() && found != *size) {
      throw PreviewError("is " + SizeText(found) + ", not the --size " + SizeText(*size));
    }
    if (const std::string beyond = BeyondFrameLimits(depth, found.width, found.height);
        !beyond.empty()) {
      throw PreviewError("is too large: " + beyond);
    }
    return FrameFromRgba(image, depth);
  } catch (const PreviewError& error) {
    throw PreviewError("--source " + source.path + ": " + error.what());
  }
}

FrameSize DownsampledSize(FrameSize size, FrameSize factors) {
  return FrameSize{(size.width + factors.width - 1) / factors.width,
                   (size.height + factors.height - 1) / factors.height};
}

Frame Downsample(const FrameView& frame, FrameSize factors) {
  const FrameSize size = DownsampledSize(FrameSize{frame.width, frame.height}, factors);
  Frame out(frame.depth, size.width, size.height);
  const std::size_t pixelSize = std::size_t(PixelSize(frame.depth));
  for (std::int32_t r = 0; r < size.height; ++r) {
    const std::byte* from = frame.data + std::int64_t{r} * factors.height * frame.rowbytes;
    std::byte* to = out.data() + r * out.rowbytes();
    for (std::int32_t c = 0; c < size.width; ++c) {
      std::memcpy(to + c * pixelSize, from + std::size_t(c) * factors.width * pixelSize, pixelSize);
    }
  }
  return out;
}

}  // namespace tessaline
