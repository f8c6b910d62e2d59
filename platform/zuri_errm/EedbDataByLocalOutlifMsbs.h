// ZuriErrm::EedbDataByLocalOutlifMsbs*: the software DataByLocalOutlifMsbs table (a direct EEDB
// table of one bit per key): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbDataByLocalOutlifMsbsEntryKey =
    detail::ScalarKey<struct EedbDataByLocalOutlifMsbsKeyTag, std::uint16_t>;

class EedbDataByLocalOutlifMsbsLogEntry {
 public:
  constexpr EedbDataByLocalOutlifMsbsEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbDataByLocalOutlifMsbsEntryKey v) noexcept { key_ = v; }
  // 0 or 1.
  constexpr std::uint8_t eesIsDataEntryapped() const noexcept { return eesIsDataEntryapped_; }
  constexpr void eesIsDataEntryappedIs(std::uint8_t v) noexcept { eesIsDataEntryapped_ = v; }

  bool operator==(EedbDataByLocalOutlifMsbsLogEntry const&) const noexcept = default;

 private:
  EedbDataByLocalOutlifMsbsEntryKey key_;
  std::uint8_t eesIsDataEntryapped_ = 0;
};

using EedbDataByLocalOutlifMsbsLogFlumeEntry = LogFlumeEntry<EedbDataByLocalOutlifMsbsLogEntry>;

class EedbDataByLocalOutlifMsbsLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbDataByLocalOutlifMsbsLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbDataByLocalOutlifMsbsLogEntryWrapper() override;
};

struct EedbDataByLocalOutlifMsbsConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C03};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbDataByLocalOutlifMsbsLogEntry> {
  using E = ZuriErrm::EedbDataByLocalOutlifMsbsLogEntry;
  static constexpr std::string_view table = "EedbDataByLocalOutlifMsbs";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::eesIsDataEntryapped, &E::eesIsDataEntryappedIs>("eesIsDataEntryapped"),
  };
};
