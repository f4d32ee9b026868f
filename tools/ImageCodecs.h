#pragma once
// Conversions between the host's frames and the two file formats of the
// preview command. All of them are pure functions of their arguments.
//
// PNG images hold straight (unpremultiplied) red, green, blue and alpha, 8 or
// 16 bits a sample, and so do the host's frames: every sample converts on its
// own, whatever the alpha (8-bit value v becomes round(v * 32768 / 255) at 16
// bits and v / 255 in float), and a transparent pixel keeps its color.
//
// A .raw file is the exact pixels of a frame: rows top to bottom, width times
// the pixel size bytes a row with no padding, channels alpha, red, green,
// blue, each little-endian.
#include <cstdint>
#include <span>
#include <vector>

#include "tools/Frame.h"

namespace tessaline {

// A decoded or to-be-encoded PNG: samples red, green, blue, alpha per pixel,
// rows top to bottom, each sample 0 to 255 (bits 8) or 0 to 65535 (bits 16).
struct RgbaImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bits = 8;
  std::vector<std::uint16_t> samples;
};

// The frame of a PNG image at the given depth.
Frame FrameFromRgba(const RgbaImage& image, PixelDepth depth);

// The PNG image of a frame: 8 bits a sample for 8-bit frames, 16 bits for
// 16-bit and float frames; float values are limited to 0 to 1 first.
RgbaImage RgbaFromFrame(const FrameView& frame);

std::vector<std::uint8_t> EncodeRaw(const FrameView& frame);
// Throws PreviewError when the bytes are not exactly one frame of that size.
Frame DecodeRaw(std::span<const std::uint8_t> bytes, PixelDepth depth, std::int32_t width,
                std::int32_t height);

}  // namespace tessaline
