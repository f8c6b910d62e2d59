// ZuriErrm::EedbSubIntfOutAcTable*: the software sub-interface out-AC table (egress VLAN tags of
// sub-interfaces): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbSubIntfOutAcTableEntryKey =
    detail::ScalarKey<struct EedbSubIntfOutAcTableKeyTag, std::uint32_t>;

class EedbSubIntfOutAcTableLogEntry {
 public:
  // Low 20 bits are the hardware key.
  constexpr EedbSubIntfOutAcTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbSubIntfOutAcTableEntryKey v) noexcept { key_ = v; }
  constexpr std::uint16_t vlanEditVid1() const noexcept { return vlanEditVid1_; }
  constexpr void vlanEditVid1Is(std::uint16_t v) noexcept { vlanEditVid1_ = v; }
  constexpr std::uint16_t vlanEditVid2() const noexcept { return vlanEditVid2_; }
  constexpr void vlanEditVid2Is(std::uint16_t v) noexcept { vlanEditVid2_ = v; }
  // 1: the out-AC view.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t egressLastLayer() const noexcept { return egressLastLayer_; }
  constexpr void egressLastLayerIs(std::uint8_t v) noexcept { egressLastLayer_ = v; }
  constexpr std::uint8_t vlanEditProfile() const noexcept { return vlanEditProfile_; }
  constexpr void vlanEditProfileIs(std::uint8_t v) noexcept { vlanEditProfile_ = v; }

  bool operator==(EedbSubIntfOutAcTableLogEntry const&) const noexcept = default;

 private:
  EedbSubIntfOutAcTableEntryKey key_;
  std::uint16_t vlanEditVid1_ = 0;
  std::uint16_t vlanEditVid2_ = 0;
  std::uint8_t viewType_ = 0;
  std::uint8_t egressLastLayer_ = 0;
  std::uint8_t vlanEditProfile_ = 0;
};

using EedbSubIntfOutAcTableLogFlumeEntry = LogFlumeEntry<EedbSubIntfOutAcTableLogEntry>;

class EedbSubIntfOutAcTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbSubIntfOutAcTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbSubIntfOutAcTableLogEntryWrapper() override;
};

struct EedbSubIntfOutAcTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0B};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSubIntfOutAcTableLogEntry> {
  using E = ZuriErrm::EedbSubIntfOutAcTableLogEntry;
  static constexpr std::string_view table = "EedbSubIntfOutAcTable";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::vlanEditVid1, &E::vlanEditVid1Is>("vlanEditVid1"),
      field<&E::vlanEditVid2, &E::vlanEditVid2Is>("vlanEditVid2"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::egressLastLayer, &E::egressLastLayerIs>("egressLastLayer"),
      field<&E::vlanEditProfile, &E::vlanEditProfileIs>("vlanEditProfile"),
  };
};
