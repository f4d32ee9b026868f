#include "tools/ImageCodecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "tools/PngCodec.h"
#include "tools/PreviewError.h"

namespace tessaline {
namespace {

RgbaImage OnePixel(std::int32_t bits, std::uint16_t r, std::uint16_t g, std::uint16_t b,
                   std::uint16_t a) {
  return RgbaImage{1, 1, bits, {r, g, b, a}};
}

TEST(ImageCodecs, OpaquePngSamplesScaleToTheFullScaleOfEachDepth) {
  for (std::uint16_t v = 0; v <= 255; ++v) {
    const RgbaImage png = OnePixel(8, v, v, 255 - v, 255);
    const Frame f8 = FrameFromRgba(png, PixelDepth::k8);
    const Frame f16 = FrameFromRgba(png, PixelDepth::k16);
    const Frame ff = FrameFromRgba(png, PixelDepth::kFloat);
    EXPECT_EQ(f8.View().Row<Pixel8>(0)[0].red, v);
    EXPECT_EQ(f8.View().Row<Pixel8>(0)[0].alpha, 255);
    EXPECT_EQ(f16.View().Row<Pixel16>(0)[0].red, std::uint16_t(std::round(v * 32768.0 / 255.0)));
    EXPECT_EQ(f16.View().Row<Pixel16>(0)[0].blue,
              std::uint16_t(std::round((255 - v) * 32768.0 / 255.0)));
    EXPECT_EQ(f16.View().Row<Pixel16>(0)[0].alpha, 32768);
    EXPECT_EQ(ff.View().Row<PixelFloat>(0)[0].green, float(v / 255.0));
    EXPECT_EQ(ff.View().Row<PixelFloat>(0)[0].alpha, 1.0f);
  }
}

TEST(ImageCodecs, TranslucentPngSamplesKeepTheirStraightColor) {
  const RgbaImage png = OnePixel(8, 255, 125, 0, 51);  // alpha 0.2
  const Pixel8 p8 = FrameFromRgba(png, PixelDepth::k8).View().Row<Pixel8>(0)[0];
  EXPECT_EQ(p8.alpha, 51);
  EXPECT_EQ(p8.red, 255);
  EXPECT_EQ(p8.green, 125);
  EXPECT_EQ(p8.blue, 0);
  const Pixel16 p16 = FrameFromRgba(png, PixelDepth::k16).View().Row<Pixel16>(0)[0];
  EXPECT_EQ(p16.alpha, 6554);  // 0.2 * 32768 = 6553.6
  EXPECT_EQ(p16.red, 32768);
  EXPECT_EQ(p16.green, 16063);  // 125 * 32768 / 255 = 16062.9
  // A transparent pixel keeps its color, both ways.
  const RgbaImage clear = OnePixel(16, 1000, 2000, 65535, 0);
  const Frame f16 = FrameFromRgba(clear, PixelDepth::k16);
  EXPECT_EQ(f16.View().Row<Pixel16>(0)[0].blue, 32768);
  EXPECT_EQ(RgbaFromFrame(FrameFromRgba(png, PixelDepth::k8).View()).samples,
            (std::vector<std::uint16_t>{255, 125, 0, 51}));
  EXPECT_EQ(RgbaFromFrame(f16.View()).samples[2], 65535);
}

TEST(ImageCodecs, FramesBecomePngSamplesOfTheirDepth) {
  Frame f16(PixelDepth::k16, 3, 1);
  f16.Row<Pixel16>(0)[0] = Pixel16{32768, 32768, 16384, 0};
  f16.Row<Pixel16>(0)[1] = Pixel16{0, 500, 500, 500};           // transparent: color kept
  f16.Row<Pixel16>(0)[2] = Pixel16{16384, 8192, 16384, 40000};  // above full scale: limited
  const RgbaImage png16 = RgbaFromFrame(f16.View());
  EXPECT_EQ(png16.bits, 16);
  EXPECT_EQ(png16.samples, (std::vector<std::uint16_t>{65535, 32768, 0, 65535, 1000, 1000, 1000, 0,
                                                       16384, 32768, 65535, 32768}));

  Frame ff(PixelDepth::kFloat, 1, 1);
  ff.Row<PixelFloat>(0)[0] = PixelFloat{1.5f, 2.0f, -0.25f, 0.5f};
  EXPECT_EQ(RgbaFromFrame(ff.View()).samples, (std::vector<std::uint16_t>{65535, 0, 32768, 65535}));

  Frame f8(PixelDepth::k8, 1, 1);
  f8.Row<Pixel8>(0)[0] = Pixel8{255, 1, 2, 3};
  const RgbaImage png8 = RgbaFromFrame(f8.View());
  EXPECT_EQ(png8.bits, 8);
  EXPECT_EQ(png8.samples, (std::vector<std::uint16_t>{1, 2, 3, 255}));
}

TEST(ImageCodecs, OpaqueFramesSurviveAPngRoundTripAtEightAndSixteenBits) {
  Frame f8(PixelDepth::k8, 256, 1);
  Frame f16(PixelDepth::k16, 4097, 8);  // every value 0 to 32768
  for (std::int32_t v = 0; v < 256; ++v) {
    f8.Row<Pixel8>(0)[v] = Pixel8{255, std::uint8_t(v), std::uint8_t(255 - v), std::uint8_t(v)};
  }
  for (std::int32_t r = 0; r < f16.height(); ++r) {
    for (std::int32_t c = 0; c < f16.width(); ++c) {
      const auto v = std::uint16_t(std::min(r * f16.width() + c, 32768));
      f16.Row<Pixel16>(r)[c] = Pixel16{32768, v, std::uint16_t(32768 - v), v};
    }
  }
  for (const Frame* f : {&f8, &f16}) {
    const RgbaImage decoded = DecodePng(EncodePng(RgbaFromFrame(f->View())));
    const Frame back = FrameFromRgba(decoded, f->depth());
    const auto bytes = EncodeRaw(f->View());
    EXPECT_EQ(EncodeRaw(back.View()), bytes) << int(f->depth());
  }
}

TEST(ImageCodecs, RawBytesAreLittleEndianAlphaRedGreenBlue) {
  Frame f16(PixelDepth::k16, 1, 1);
  f16.Row<Pixel16>(0)[0] = Pixel16{0x1234, 0x0001, 0x8000, 0xABCD};
  EXPECT_EQ(EncodeRaw(f16.View()),
            (std::vector<std::uint8_t>{0x34, 0x12, 0x01, 0x00, 0x00, 0x80, 0xCD, 0xAB}));

  Frame ff(PixelDepth::kFloat, 1, 1);
  ff.Row<PixelFloat>(0)[0] = PixelFloat{1.0f, 0.5f, -2.0f, 0.0f};
  EXPECT_EQ(EncodeRaw(ff.View()), (std::vector<std::uint8_t>{0, 0, 0x80, 0x3F, 0, 0, 0, 0x3F, 0, 0,
                                                             0, 0xC0, 0, 0, 0, 0}));
}

TEST(ImageCodecs, RawRoundTripIsExactAtEveryDepth) {
  std::mt19937 random(7);
  for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
    std::vector<std::uint8_t> bytes(std::size_t(FrameBytes(depth, 5, 3)));
    for (auto& b : bytes) b = std::uint8_t(random());
    const Frame frame = DecodeRaw(bytes, depth, 5, 3);
    EXPECT_EQ(EncodeRaw(frame.View()), bytes);
  }
}

TEST(ImageCodecs, RawOfTheWrongSizeIsRefused) {
  const std::vector<std::uint8_t> bytes(4 * 6);
  EXPECT_NO_THROW(DecodeRaw(bytes, PixelDepth::k8, 3, 2));
  EXPECT_THROW(DecodeRaw(bytes, PixelDepth::k8, 3, 3), PreviewError);
  EXPECT_THROW(DecodeRaw(bytes, PixelDepth::k16, 3, 2), PreviewError);
  EXPECT_THROW(DecodeRaw({}, PixelDepth::k8, 1, 1), PreviewError);
}

TEST(PngCodec, DecodesWhatItEncodesAtBothSampleSizes) {
  for (std::int32_t bits : {8, 16}) {
    RgbaImage image{7, 5, bits, {}};
    std::mt19937 random{std::uint32_t(bits)};
    for (int i = 0; i < 7 * 5 * 4; ++i) {
      image.samples.push_back(std::uint16_t(random() % (bits == 16 ? 65536 : 256)));
    }
    const RgbaImage back = DecodePng(EncodePng(image));
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.bits, bits);
    EXPECT_EQ(back.samples, image.samples);
  }
}

TEST(PngCodec, RefusesWhatIsNoPngOrIsDamaged) {
  const std::vector<std::uint8_t> good =
      EncodePng(RgbaImage{4, 4, 8, std::vector<std::uint16_t>(64, 9)});
  const std::vector<std::vector<std::uint8_t>> bad = {
      {},
      {'h', 'e', 'l', 'l', 'o'},
      std::vector<std::uint8_t>(good.begin(), good.begin() + 8),   // signature only
      std::vector<std::uint8_t>(good.begin(), good.begin() + 40),  // cut inside
  };
  for (const auto& bytes : bad) EXPECT_THROW(DecodePng(bytes), PreviewError) << bytes.size();
  std::vector<std::uint8_t> corrupted = good;
  corrupted[20] ^= 0xFF;  // inside the header chunk: its checksum fails
  EXPECT_THROW(DecodePng(corrupted), PreviewError);
}

}  // namespace
}  // namespace tessaline
