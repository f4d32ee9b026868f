#pragma once
// Sorted, disjoint spans of indices: the columns, or the rows, that the lines
// of a frame touch.
#include <algorithm>
#include <cstdint>

namespace tessaline {

// Indices [first, end).
struct IndexSpan {
  std::int32_t first, end;
};

template <std::int32_t kCapacity>
class IndexSpans {
 public:
  // The spans of up to kCapacity items, sorted, and merged where they meet.
  template <typename Item, typename SpanOf>
  void Gather(const Item* items, std::int32_t count, SpanOf spanOf) {
    for (std::int32_t i = 0; i < count; ++i) spans_[i] = spanOf(items[i]);
    std::sort(spans_, spans_ + count,
              [](const IndexSpan& a, const IndexSpan& b) { return a.first < b.first; });
    count_ = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      if (count_ > 0 && spans_[i].first <= spans_[count_ - 1].end)
        spans_[count_ - 1].end = std::max(spans_[count_ - 1].end, spans_[i].end);
      else
        spans_[count_++] = spans_[i];
    }
  }

  std::int32_t size() const { return count_; }
  const IndexSpan& operator[](std::int32_t k) const { return spans_[k]; }

  // The first span that ends after `index`; size() when none does.
  std::int32_t FirstEndingAfter(std::int32_t index) const {
    return std::int32_t(std::partition_point(spans_, spans_ + count_,
                                             [&](const IndexSpan& s) { return s.end <= index; }) -
                        spans_);
  }

  // Within [first, end): span(k, from, to) for each span that meets it,
  // clipped to it, and gap(from, to) for the indices between them.
  template <typename Span, typename Gap>
  void ForEach(std::int32_t first, std::int32_t end, Span&& span, Gap&& gap) const {
    std::int32_t index = first;
    for (std::int32_t k = FirstEndingAfter(first); k < count_ && spans_[k].first < end; ++k) {
      if (spans_[k].first > index) gap(index, spans_[k].first);
      span(k, std::max(spans_[k].first, first), std::min(spans_[k].end, end));
      index = spans_[k].end;
    }
    if (index < end) gap(index, end);
  }

 private:
  IndexSpan spans_[kCapacity];
  std::int32_t count_ = 0;
};

}  // namespace tessaline
