// Helpers of the chip table tests: entries of any format built through the generic path, and a
// count of heap allocations for the paths that must not allocate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chip26_a0/EedbHwMdb.h"

namespace chip26_a0::test {

// Heap allocations made by this process so far (operator new is counted in AllocCount.cc).
std::size_t allocationCount() noexcept;

// Allocations made since construction.
class AllocationProbe {
 public:
  AllocationProbe() noexcept : start_(allocationCount()) {}
  std::size_t count() const noexcept { return allocationCount() - start_; }

 private:
  std::size_t start_;
};

// A format entry of the result type, built and initialised as the translators do it, returned
// as a plain entry.
template <class... Fs>
EedbHwMdb::Entry stampedAs(std::uint8_t code, std::uint32_t key, mdb::formats::FormatList<Fs...>) {
  EedbHwMdb::Entry out;
  auto stamp = [&]<class F>() {
    mdb::FormatEntry<F> e{EedbHwMdb::EntryKey(key)};
    e.handleInitialized();
    out = e;
  };
  ((mdb::kFormatCode<Fs> == code ? stamp.template operator()<Fs>() : void()), ...);
  return out;
}

inline EedbHwMdb::Entry stamped(layout::FormatSpec const& spec, std::uint32_t key = 0x1234) {
  return stampedAs(spec.code, key, mdb::formats::AllFormats{});
}

inline std::uint64_t maxOf(layout::FieldSpec const& f) {
  return f.width >= 64 ? ~0ull : (1ull << f.width) - 1;
}

inline PerUnitBitmap wideOf(std::uint32_t w3, std::uint32_t w2, std::uint32_t w1,
                            std::uint32_t w0) {
  PerUnitBitmap b;
  b.bitListIs(3, w3);
  b.bitListIs(2, w2);
  b.bitListIs(1, w1);
  b.bitListIs(0, w0);
  return b;
}

// Every field at an extreme that differs from its neighbours': all ones, only the top bit, or
// only bit 0, in turn.
inline EedbHwMdb::Entry withExtremes(layout::FormatSpec const& spec, std::uint32_t key) {
  auto e = stamped(spec, key);
  for (std::size_t i = 0; i < spec.fields.size(); ++i) {
    auto const& f = spec.fields[i];
    if (f.wide()) {
      e.fieldIs(f, i % 3 == 0   ? wideOf(~0u, ~0u, ~0u, ~0u)
                   : i % 3 == 1 ? wideOf(0x80000000u, 0, 0, 0)
                                : wideOf(0, 0, 0, 1));
    } else {
      e.fieldIs(f, i % 3 == 0 ? maxOf(f) : i % 3 == 1 ? 1ull << (f.width - 1) : 1);
    }
  }
  return e;
}

}  // namespace chip26_a0::test
