#pragma once
// The blends of a frame's TileDrawer, made ready once for each (weight,
// style) pair and shared by every run of pixels that blends with it: lines
// of one style that lie at the same fraction of a pixel have the same
// weights. Those of vertical runs are kept for the whole frame, those of
// horizontal rows for one group of rows.
//
// 8-bit blends are tables (TableBlend8), filled here; the others hold their
// terms in the form their kernels use.
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "core/GridColor.h"
#include "core/Kernels.h"
#include "core/PixelBlend.h"
#include "core/TableBlend8.h"

namespace tessaline {

template <typename Blend, int kCapacity>
class BlendCache {
 public:
  static_assert(std::is_trivially_destructible_v<Blend>);

  // The index of the blend of (weight, style), made now with the kernels if
  // new; -1 when full.
  int Find(double weight, int style, const GridColor& color, const Kernels& kernels) {
    const auto bits = std::bit_cast<std::uint64_t>(weight);
    for (int i = 0; i < used_; ++i)
      if (weightBits_[i] == bits && styles_[i] == style) return i;
    if (used_ == kCapacity) return -1;
    const BlendTerms terms = TermsOf(color, weight);
    if constexpr (kTables)
      std::construct_at(&slots_[used_].blend, TableBlend8::Fill(terms, tables_[used_]));
    else
      std::construct_at(&slots_[used_].blend, terms, kernels);
    weightBits_[used_] = bits;
    styles_[used_] = style;
    return used_++;
  }
  const Blend& Get(int index) const { return slots_[index].blend; }
  // Blends found from now on are forgotten at the next Forget().
  void KeepFound() { kept_ = used_; }
  void Forget() { used_ = kept_; }

 private:
  static constexpr bool kTables = std::is_same_v<Blend, TableBlend8>;
  struct NoTables {};
  // Room for blends made later, which need not be default-constructible.
  union Slot {
    Slot() {}
    Blend blend;
  };

  Slot slots_[kCapacity];
  [[no_unique_address]] std::conditional_t<kTables, std::array<ChannelTables8, kCapacity>, NoTables>
      tables_;
  std::uint64_t weightBits_[kCapacity];
  int styles_[kCapacity];
  int used_ = 0, kept_ = 0;
};

}  // namespace tessaline
