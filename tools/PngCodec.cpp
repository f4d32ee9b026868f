#include "tools/PngCodec.h"

#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tools/PreviewError.h"

namespace tessaline {
namespace {

// libpng reports errors by longjmp to the setjmp of the calling function.
// Between the setjmp and any longjmp only C frames and callbacks with
// trivially destructible locals run; every C++ object is constructed before
// the setjmp, and what the error handler writes lives on the heap, so it is
// well defined after the jump.
struct Coder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool reading = false;
  std::unique_ptr<std::array<char, 200>> message = std::make_unique<std::array<char, 200>>();

  ~Coder() {
    if (reading) {
      png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    } else {
      png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    }
  }
};

void OnError(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::array<char, 200>*>(png_get_error_ptr(png));
  std::snprintf(text->data(), text->size(), "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

struct ReadCursor {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (count > cursor->size - cursor->at) png_error(png, "the file ends early");
  std::memcpy(out, cursor->data + cursor->at, count);
  cursor->at += count;
}

// The encoded bytes grow in a buffer of its own; a failed allocation becomes
// a libpng error outside the catch handler.
struct WriteSink {
  std::vector<std::uint8_t>* bytes;
};

void WriteBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* sink = static_cast<WriteSink*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    sink->bytes->insert(sink->bytes->end(), data, data + count);
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void FlushBytes(png_structp) {}

}  // namespace

std::vector<std::uint8_t> EncodePng(const RgbaImage& image) {
  const std::size_t sampleBytes = image.bits == 16 ? 2 : 1;
  const std::size_t rowBytes = std::size_t(image.width) * 4 * sampleBytes;
  std::vector<std::uint8_t> packed(rowBytes * std::size_t(image.height));
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    if (sampleBytes == 2) {  // PNG samples are big-endian
      packed[2 * i] = std::uint8_t(image.samples[i] >> 8);
      packed[2 * i + 1] = std::uint8_t(image.samples[i]);
    } else {
      packed[i] = std::uint8_t(image.samples[i]);
    }
  }
  std::vector<png_bytep> rows(std::size_t(image.height));
  for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = packed.data() + r * rowBytes;

  std::vector<std::uint8_t> bytes;
  WriteSink sink{&bytes};
  Coder coder;
  coder.png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, coder.message.get(), OnError, OnWarning);
  if (coder.png == nullptr) throw PreviewError("cannot start the PNG encoder");
  coder.info = png_create_info_struct(coder.png);
  if (coder.info == nullptr) throw PreviewError("cannot start the PNG encoder");
  if (setjmp(png_jmpbuf(coder.png))) {
    throw PreviewError(std::string("cannot encode the PNG: ") + coder.message->data());
  }
  png_set_write_fn(coder.png, &sink, WriteBytes, FlushBytes);
  png_set_IHDR(coder.png, coder.info, png_uint_32(image.width), png_uint_32(image.height),
               image.bits == 16 ? 16 : 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(coder.png, coder.info, rows.data());
  png_write_png(coder.png, coder.info, PNG_TRANSFORM_IDENTITY, nullptr);
  return bytes;
}

RgbaImage DecodePng(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kSignatureBytes = 8;
  if (bytes.size() < kSignatureBytes || png_sig_cmp(bytes.data(), 0, kSignatureBytes) != 0) {
    throw PreviewError("is not a PNG file");
  }
  // The header chunk comes first (length, "IHDR", width, height, big-endian);
  // a size beyond the limits is too large, not damage as libpng would call it.
  constexpr std::size_t kHeaderEnd = kSignatureBytes + 16;
  if (bytes.size() >= kHeaderEnd && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
    const auto word = [&](std::size_t at) {
      return std::int64_t{bytes[at]} << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
             bytes[at + 3];
    };
    const std::string beyond = BeyondFrameLimits(PixelDepth::k8, word(16), word(20));
    if (!beyond.empty()) throw PreviewError("is too large: " + beyond);
  }
  RgbaImage image;
  std::vector<png_bytep> rows;
  std::vector<std::uint8_t> packed;
  ReadCursor cursor{bytes.data(), bytes.size(), 0};
  Coder coder;
  coder.reading = true;
  coder.png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, coder.message.get(), OnError, OnWarning);
  if (coder.png == nullptr) throw PreviewError("cannot start the PNG decoder");
  coder.info = png_create_info_struct(coder.png);
  if (coder.info == nullptr) throw PreviewError("cannot start the PNG decoder");
  if (setjmp(png_jmpbuf(coder.png))) {
    throw PreviewError(std::string("is a damaged PNG file (") + coder.message->data() + ")");
  }
  png_set_read_fn(coder.png, &cursor, ReadBytes);
  png_set_user_limits(coder.png, kMaxFrameSide, kMaxFrameSide);
  png_read_info(coder.png, coder.info);

  // Everything to RGBA of 8 or 16 bits.
  const int colorType = png_get_color_type(coder.png, coder.info);
  const int bitDepth = png_get_bit_depth(coder.png, coder.info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(coder.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(coder.png);
  if (png_get_valid(coder.png, coder.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(coder.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(coder.png);
  }
  const bool sixteen = bitDepth == 16;
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(coder.png, coder.info, PNG_INFO_tRNS)) {
    png_set_filler(coder.png, sixteen ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(coder.png);
  png_read_update_info(coder.png, coder.info);

  const png_uint_32 width = png_get_image_width(coder.png, coder.info);
  const png_uint_32 height = png_get_image_height(coder.png, coder.info);
  const std::size_t rowBytes = png_get_rowbytes(coder.png, coder.info);
  const std::size_t sampleBytes = sixteen ? 2 : 1;
  if (rowBytes != std::size_t(width) * 4 * sampleBytes) png_error(coder.png, "unexpected layout");
  packed.resize(rowBytes * height);
  rows.resize(height);
  for (std::size_t r = 0; r < height; ++r) rows[r] = packed.data() + r * rowBytes;
  png_read_image(coder.png, rows.data());
  png_read_end(coder.png, nullptr);

  image.width = std::int32_t(width);
  image.height = std::int32_t(height);
  image.bits = sixteen ? 16 : 8;
  image.samples.resize(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] =
        sixteen ? std::uint16_t(packed[2 * i] << 8 | packed[2 * i + 1]) : std::uint16_t(packed[i]);
  }
  return image;
}

}  // namespace tessaline
