// ZuriErrm::EedbStatTable*: the software statistics table (statistics-only encapsulation entries):
// its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbStatTableEntryKey = detail::ScalarKey<struct EedbStatTableKeyTag, std::uint32_t>;

class EedbStatTableLogEntry {
 public:
  constexpr EedbStatTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbStatTableEntryKey v) noexcept { key_ = v; }
  // Low 20 bits used.
  constexpr std::uint32_t nextOutlifPointer() const noexcept { return nextOutlifPointer_; }
  constexpr void nextOutlifPointerIs(std::uint32_t v) noexcept { nextOutlifPointer_ = v; }
  constexpr std::uint32_t statObjectId() const noexcept { return statObjectId_; }
  constexpr void statObjectIdIs(std::uint32_t v) noexcept { statObjectId_ = v; }
  // 1: the statistics view.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }

  bool operator==(EedbStatTableLogEntry const&) const noexcept = default;

 private:
  EedbStatTableEntryKey key_;
  std::uint32_t nextOutlifPointer_ = 0;
  std::uint32_t statObjectId_ = 0;
  std::uint8_t viewType_ = 0;
};

using EedbStatTableLogFlumeEntry = LogFlumeEntry<EedbStatTableLogEntry>;

class EedbStatTableLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                           public detail::WrapperData<EedbStatTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbStatTableLogEntryWrapper() override;
};

struct EedbStatTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0A};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbStatTableLogEntry> {
  using E = ZuriErrm::EedbStatTableLogEntry;
  static constexpr std::string_view table = "EedbStatTable";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::nextOutlifPointer, &E::nextOutlifPointerIs>("nextOutlifPointer"),
      field<&E::statObjectId, &E::statObjectIdIs>("statObjectId"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
  };
};
