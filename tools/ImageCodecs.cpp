#include "tools/ImageCodecs.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "tools/PreviewError.h"

namespace tessaline {
namespace {

double SampleMax(std::int32_t bits) {
  return bits == 16 ? 65535.0 : 255.0;
}

// A channel value as a double, limited to 0 to full scale (NaN counts as 0).
template <typename Pixel, typename Channel>
double Limited(Channel c) {
  const double v = double(c);
  if (!(v > 0.0)) return 0.0;
  return v < kFullOf<Pixel> ? v : kFullOf<Pixel>;
}

template <typename Pixel>
Frame FromRgba(const RgbaImage& image, PixelDepth depth) {
  Frame frame(depth, image.width, image.height);
  const double max = SampleMax(image.bits);
  const double full = kFullOf<Pixel>;
  const auto channel = [&](std::uint16_t v) { return ToChannel<Pixel>(double(v) * full / max); };
  const std::uint16_t* s = image.samples.data();
  for (std::int32_t r = 0; r < frame.height(); ++r) {
    Pixel* row = frame.Row<Pixel>(r);
    for (std::int32_t c = 0; c < frame.width(); ++c, s += 4) {
      row[c].alpha = channel(s[3]);
      row[c].red = channel(s[0]);
      row[c].green = channel(s[1]);
      row[c].blue = channel(s[2]);
    }
  }
  return frame;
}

template <typename Pixel>
RgbaImage ToRgba(const FrameView& frame) {
  RgbaImage image;
  image.width = frame.width;
  image.height = frame.height;
  image.bits = frame.depth == PixelDepth::k8 ? 8 : 16;
  image.samples.resize(std::size_t(frame.width) * std::size_t(frame.height) * 4);
  const double max = SampleMax(image.bits);
  const double full = kFullOf<Pixel>;
  std::uint16_t* s = image.samples.data();
  for (std::int32_t r = 0; r < frame.height; ++r) {
    const Pixel* row = frame.Row<Pixel>(r);
    for (std::int32_t c = 0; c < frame.width; ++c, s += 4) {
      const auto sample = [&](auto v) {
        return std::uint16_t(std::round(Limited<Pixel>(v) * max / full));
      };
      s[0] = sample(row[c].red);
      s[1] = sample(row[c].green);
      s[2] = sample(row[c].blue);
      s[3] = sample(row[c].alpha);
    }
  }
  return image;
}

// Little-endian bytes of one channel value, and back.
template <typename Channel>
void PutLittleEndian(Channel value, std::uint8_t*& out) {
  if constexpr (sizeof(Channel) == 1) {
    *out++ = std::uint8_t(value);
  } else {
    using Word = std::conditional_t<sizeof(Channel) == 2, std::uint16_t, std::uint32_t>;
    const Word word = std::bit_cast<Word>(value);
    for (std::size_t i = 0; i < sizeof(Word); ++i) *out++ = std::uint8_t(word >> (8 * i));
  }
}

template <typename Channel>
Channel GetLittleEndian(const std::uint8_t*& in) {
  if constexpr (sizeof(Channel) == 1) {
    return Channel(*in++);
  } else {
    using Word = std::conditional_t<sizeof(Channel) == 2, std::uint16_t, std::uint32_t>;
    Word word = 0;
    for (std::size_t i = 0; i < sizeof(Word); ++i) word = Word(word | Word(*in++) << (8 * i));
    return std::bit_cast<Channel>(word);
  }
}

template <typename Pixel>
std::vector<std::uint8_t> ToRaw(const FrameView& frame) {
  std::vector<std::uint8_t> bytes(std::size_t(FrameBytes(frame.depth, frame.width, frame.height)));
  std::uint8_t* out = bytes.data();
  for (std::int32_t r = 0; r < frame.height; ++r) {
    const Pixel* row = frame.Row<Pixel>(r);
    for (std::int32_t c = 0; c < frame.width; ++c) {
      PutLittleEndian(row[c].alpha, out);
      PutLittleEndian(row[c].red, out);
      PutLittleEndian(row[c].green, out);
      PutLittleEndian(row[c].blue, out);
    }
  }
  return bytes;
}

template <typename Pixel>
Frame FromRaw(std::span<const std::uint8_t> bytes, PixelDepth depth, std::int32_t width,
              std::int32_t height) {
  using Channel = decltype(Pixel{}.alpha);
  Frame frame(depth, width, height);
  const std::uint8_t* in = bytes.data();
  for (std::int32_t r = 0; r < height; ++r) {
    Pixel* row = frame.Row<Pixel>(r);
    for (std::int32_t c = 0; c < width; ++c) {
      row[c].alpha = GetLittleEndian<Channel>(in);
      row[c].red = GetLittleEndian<Channel>(in);
      row[c].green = GetLittleEndian<Channel>(in);
      row[c].blue = GetLittleEndian<Channel>(in);
    }
  }
  return frame;
}

}  // namespace

Frame FrameFromRgba(const RgbaImage& image, PixelDepth depth) {
  return WithPixelType(depth, [&]<typename Pixel>(Pixel) { return FromRgba<Pixel>(image, depth); });
}

RgbaImage RgbaFromFrame(const FrameView& frame) {
  return WithPixelType(frame.depth, [&]<typename Pixel>(Pixel) { return ToRgba<Pixel>(frame); });
}

std::vector<std::uint8_t> EncodeRaw(const FrameView& frame) {
  return WithPixelType(frame.depth, [&]<typename Pixel>(Pixel) { return ToRaw<Pixel>(frame); });
}

Frame DecodeRaw(std::span<const std::uint8_t> bytes, PixelDepth depth, std::int32_t width,
                std::int32_t height) {
  const std::int64_t expected = FrameBytes(depth, width, height);
  if (expected < 0 || std::uint64_t(expected) != bytes.size()) {
    throw PreviewError("holds " + std::to_string(bytes.size()) + " bytes, but a " +
                       std::to_string(width) + "x" + std::to_string(height) + " frame at " +
                       std::to_string(int(depth)) + " bits needs " + std::to_string(expected));
  }
  return WithPixelType(
      depth, [&]<typename Pixel>(Pixel) { return FromRaw<Pixel>(bytes, depth, width, height); });
}

}  // namespace tessaline
