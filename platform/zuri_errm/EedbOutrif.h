// ZuriErrm::EedbOutrif*: the software Out-RIF table (egress router interfaces): its key, log entry,
// log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbOutrifEntryKey = detail::ScalarKey<struct EedbOutrifKeyTag, std::uint32_t>;

class EedbOutrifLogEntry {
 public:
  constexpr EedbOutrifEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbOutrifEntryKey v) noexcept { key_ = v; }
  // Low 15 bits used.
  constexpr std::uint16_t fodo() const noexcept { return fodo_; }
  constexpr void fodoIs(std::uint16_t v) noexcept { fodo_ = v; }
  // 1: the Out-RIF view; others: none.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t forwardQosModel() const noexcept { return forwardQosModel_; }
  constexpr void forwardQosModelIs(std::uint8_t v) noexcept { forwardQosModel_ = v; }
  constexpr std::uint8_t remarkProfile() const noexcept { return remarkProfile_; }
  constexpr void remarkProfileIs(std::uint8_t v) noexcept { remarkProfile_ = v; }
  constexpr std::uint8_t mtuProfile() const noexcept { return mtuProfile_; }
  constexpr void mtuProfileIs(std::uint8_t v) noexcept { mtuProfile_ = v; }

  bool operator==(EedbOutrifLogEntry const&) const noexcept = default;

 private:
  EedbOutrifEntryKey key_;
  std::uint16_t fodo_ = 0;
  std::uint8_t viewType_ = 0;
  std::uint8_t forwardQosModel_ = 0;
  std::uint8_t remarkProfile_ = 0;
  std::uint8_t mtuProfile_ = 0;
};

using EedbOutrifLogFlumeEntry = LogFlumeEntry<EedbOutrifLogEntry>;

class EedbOutrifLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                        public detail::WrapperData<EedbOutrifLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbOutrifLogEntryWrapper() override;
};

struct EedbOutrifConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C07};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbOutrifLogEntry> {
  using E = ZuriErrm::EedbOutrifLogEntry;
  static constexpr std::string_view table = "EedbOutrif";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::fodo, &E::fodoIs>("fodo"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::forwardQosModel, &E::forwardQosModelIs>("forwardQosModel"),
      field<&E::remarkProfile, &E::remarkProfileIs>("remarkProfile"),
      field<&E::mtuProfile, &E::mtuProfileIs>("mtuProfile"),
  };
};
