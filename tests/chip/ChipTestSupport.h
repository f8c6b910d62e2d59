// Helpers of the chip table tests: shadow keys and entries of any format.
#pragma once

#include <cstdint>

#include "chip26_a0/EedbHwMdb.h"

namespace chip26_a0::test {

inline ZuriAsicUtils::HwShadowKey unit(unsigned fap, unsigned instance = 0) {
  return {SchanAccel::FapId(fap), static_cast<ZuriAsicUtils::InstanceId>(instance)};
}

// An Out-RIF entry with the given MTU profile and every fodo bit set.
inline EedbHwMdb::Entry rif(std::uint32_t key, unsigned mtu) {
  EedbHwMdb::EedbRifBasicEtpsEthRif60Entry e{EedbHwMdb::EntryKey(key)};
  e.handleInitialized();
  e.mtuProfileIs(U4(mtu));
  e.fodoIs(U15(0x7FFF));
  return e;
}

// An entry of the format, built and initialised as the translators do it.
inline EedbHwMdb::Entry stamped(layout::FormatSpec const& format, std::uint32_t key = 0x1234) {
  EedbHwMdb::Entry out;
  [&]<class... Fs>(mdb::formats::FormatList<Fs...>) {
    auto stamp = [&]<class F>() {
      mdb::FormatEntry<F> e{EedbHwMdb::EntryKey(key)};
      e.handleInitialized();
      out = e;
    };
    ((mdb::kFormatCode<Fs> == format.code ? stamp.template operator()<Fs>() : void()), ...);
  }(mdb::formats::AllFormats{});
  return out;
}

// Every field at all ones (ones = true) or zero, wide fields included.
inline void fill(EedbHwMdb::Entry& e, layout::FieldSpec const& f, bool ones) {
  if (f.wide()) {
    PerUnitBitmap b;
    for (unsigned w = 0; w < PerUnitBitmap::kWords; ++w) b.bitListIs(w, ones ? ~0u : 0u);
    e.fieldIs(f, b);
  } else {
    e.fieldIs(f, ones ? (f.width >= 64 ? ~0ull : (1ull << f.width) - 1) : 0);
  }
}

}  // namespace chip26_a0::test
