#pragma once
// The byte format of a fuzzed session: a sequence of steps, each an op byte
// followed by its operands. The fuzzer decodes whatever bytes it is given
// (missing bytes read as zero, op bytes wrap around), and the seed generator
// writes scripts with ScriptWriter, so both sides share this one description.
//
//   step                operands
//   kAbout..kLegacy     none (kSmartRender: the frame slot; kUserChanged: the index)
//   kRawCommand         selector (i32): any value, handled ones included
//   kSetControl         index (u8), value (see ControlValue)
//   kSetLayer/Output    depth (u8), width, height (sides, kMaxWorldPixels), rowbytes (Stride)
//   kSetLayerSize       width (i32), height (i32) of in_data: the layer at full resolution
//   kSetDownsample      x num (i32), x den (u32), y num (i32), y den (u32)
//   kSetTime            current_time (i32), time_step (i32), time_scale (u32)
//   kAddFault           call (u8), nth (u8), effect (u8), error (see Error), arg (i32), repeat (u8)
//   kSetSuites          bits: 1 no basic suite, 2 no world suite, 4 no param utils suite
//   kSetNulls           null mask for the next command (u32, test::Record)
//   kSetNullParams      params entries left null in the next command (u32, bit per index)
//   kSetFormat          world (u8: 0 output, 1 layer), pixel format reported (i32)
//   kSetWorldFlags      world (u8), world_flags (i32)
//   kSetRequest         rect (4 x i32) of the pre-render's output request
//   kSetCheckoutRects   result_rect, max_result_rect (8 x i32) that checkout_layer reports
//   kSetInputOrigin     x, y (2 x i16): where the input layer's pixel (0, 0) lies in the layer
//   kSetOutputWindow    margins left, top, right, bottom (4 x u8 % kMaxMargin), rowbytes
//                       (Stride): outputs from now on are windows into a larger image
//   kFillLayer          kind (u8, FillKind), seed (u8): every pixel of the input layer
//   kSetEmptyInput      u8: 0 an input without pixels comes as an empty world, 1 as null
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/support/HostRules.h"

namespace tessaline::fuzz {

enum Op : std::uint8_t {
  kAbout,
  kGlobalSetup,
  kParamsSetup,
  kUpdateUI,
  kUserChanged,
  kSmartPreRender,
  kSmartRender,
  kReleaseFrame,
  kLegacyRender,
  kRawCommand,
  kSetControl,
  kSetLayer,
  kSetOutput,
  kSetLayerSize,
  kSetDownsample,
  kSetTime,
  kAddFault,
  kClearFaults,
  kSetSuites,
  kSetNulls,
  kSetNullParams,
  kSetFormat,
  kSetWorldFlags,
  kSetRequest,
  kSetCheckoutRects,
  kSetInputOrigin,
  kSetOutputWindow,
  kFillLayer,
  kSetEmptyInput,
  kOpCount
};

// A world's side: a byte below kLargeSide, that % kSmallSides; else kSmallSides
// + u16 % kLargeSides. Mostly small, now and then a few hundred pixels.
inline constexpr std::uint8_t kLargeSide = 0xFC;
inline constexpr std::int32_t kSmallSides = 24;
inline constexpr std::int32_t kLargeSides = 296;
// A world's height is cut so that it holds at most this many pixels: long
// rows or tall columns, never both.
inline constexpr std::int64_t kMaxWorldPixels = std::int64_t{1} << 14;
// A stride: i32 % kStrides, widened by the host when short, negative bottom-up.
inline constexpr std::int32_t kStrides = 513;

// Foreign pixels on each side of a window output, below this many.
inline constexpr std::uint8_t kMaxMargin = 16;

// The pixels kFillLayer writes: straight color, alpha as named.
enum FillKind : std::uint8_t {
  kFillOpaque,
  kFillTranslucent,  // alpha anywhere from 0 to full scale
  kFillClear,        // alpha 0, color kept
  kFillAny,          // any alpha the depth holds, beyond full scale too
  kFillKindCount
};

// Records and callbacks the next command receives as null: test::Record bits.
using namespace test::records;

// How a control value's operand is spelled: a kind byte, then its payload.
enum ValueKind : std::uint8_t {
  kValueRawDouble,   // 8 bytes, any bit pattern
  kValueSpecial,     // 1 byte: index into the special values below
  kValueRawInteger,  // 4 bytes
  kValueSmall,       // 1 byte, signed
  kValueKindCount
};

inline constexpr double kSpecialDoubles[] = {0.0,
                                             -0.0,
                                             1.0,
                                             0.1,
                                             0.5,
                                             2.0,
                                             20.0,
                                             20.5,
                                             100.0,
                                             150.0,
                                             1e4,
                                             1e300,
                                             -1e300,
                                             -1.0,
                                             1e-300,
                                             4.9e-324,
                                             0.25,
                                             37.5,
                                             13500.,
                                             -5.0,
                                             std::numeric_limits<double>::infinity(),
                                             -std::numeric_limits<double>::infinity(),
                                             std::numeric_limits<double>::quiet_NaN(),
                                             -std::numeric_limits<double>::quiet_NaN()};
inline constexpr std::int32_t kSpecialIntegers[] = {
    0, 1, 2, 3, 4, 5, 7, 9, 12, 17, 20, 25, 200, 250, -1, -3, INT32_MIN, INT32_MAX, 99, 10000};

// Errors a fault can inject: an operand byte picks one, or 0xFF reads a raw i32.
inline constexpr std::int32_t kFaultErrors[] = {4,  516, 512,       513,       514,       515,
                                                -1, 1,   INT32_MIN, INT32_MAX, 0x53214664};

class ScriptReader {
 public:
  ScriptReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() { return std::uint16_t(U8() | U8() << 8); }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(U8()) << (8 * i);
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::uint64_t U64() { return std::uint64_t(U32()) | std::uint64_t(U32()) << 32; }
  double F64() {
    const std::uint64_t bits = U64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class ScriptWriter {
 public:
  ScriptWriter& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ScriptWriter& U16(std::uint16_t v) { return U8(std::uint8_t(v)).U8(std::uint8_t(v >> 8)); }
  ScriptWriter& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(std::uint8_t(v >> (8 * i)));
    return *this;
  }
  ScriptWriter& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
  ScriptWriter& F64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return U32(std::uint32_t(bits)).U32(std::uint32_t(bits >> 32));
  }
  ScriptWriter& Step(Op op) { return U8(op); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tessaline::fuzz
