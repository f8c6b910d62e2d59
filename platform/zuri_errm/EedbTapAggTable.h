// ZuriErrm::EedbTapAggTable*: the software TAP aggregation table (VLAN edits and MAC rewrites per
// out-LIF): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbTapAggTableEntryKey = detail::ScalarKey<struct EedbTapAggTableKeyTag, std::uint32_t>;

class EedbTapAggTableLogEntry {
 public:
  // Low 20 bits are the hardware key.
  constexpr EedbTapAggTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbTapAggTableEntryKey v) noexcept { key_ = v; }
  constexpr std::uint32_t nextOutlifPointer() const noexcept { return nextOutlifPointer_; }
  constexpr void nextOutlifPointerIs(std::uint32_t v) noexcept { nextOutlifPointer_ = v; }
  constexpr std::uint16_t vlanEditVid1() const noexcept { return vlanEditVid1_; }
  constexpr void vlanEditVid1Is(std::uint16_t v) noexcept { vlanEditVid1_ = v; }
  constexpr std::uint16_t vlanEditVid2() const noexcept { return vlanEditVid2_; }
  constexpr void vlanEditVid2Is(std::uint16_t v) noexcept { vlanEditVid2_ = v; }
  // Not used by the EEDB.
  constexpr std::uint16_t reserved1() const noexcept { return reserved1_; }
  constexpr void reserved1Is(std::uint16_t v) noexcept { reserved1_ = v; }
  Plexo::EthAddr const& destMac() const noexcept { return destMac_; }
  void destMacIs(Plexo::EthAddr const& v) noexcept { destMac_ = v; }
  Plexo::EthAddr const& srcMac() const noexcept { return srcMac_; }
  void srcMacIs(Plexo::EthAddr const& v) noexcept { srcMac_ = v; }
  // 1 to 4 select the format.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t egressLastLayer() const noexcept { return egressLastLayer_; }
  constexpr void egressLastLayerIs(std::uint8_t v) noexcept { egressLastLayer_ = v; }
  constexpr std::uint8_t vlanEditProfile() const noexcept { return vlanEditProfile_; }
  constexpr void vlanEditProfileIs(std::uint8_t v) noexcept { vlanEditProfile_ = v; }

  bool operator==(EedbTapAggTableLogEntry const&) const noexcept = default;

 private:
  EedbTapAggTableEntryKey key_;
  std::uint32_t nextOutlifPointer_ = 0;
  std::uint16_t vlanEditVid1_ = 0;
  std::uint16_t vlanEditVid2_ = 0;
  std::uint16_t reserved1_ = 0;
  Plexo::EthAddr destMac_;
  Plexo::EthAddr srcMac_;
  std::uint8_t viewType_ = 0;
  std::uint8_t egressLastLayer_ = 0;
  std::uint8_t vlanEditProfile_ = 0;
};

using EedbTapAggTableLogFlumeEntry = LogFlumeEntry<EedbTapAggTableLogEntry>;

class EedbTapAggTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbTapAggTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbTapAggTableLogEntryWrapper() override;
};

struct EedbTapAggTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0C};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbTapAggTableLogEntry> {
  using E = ZuriErrm::EedbTapAggTableLogEntry;
  static constexpr std::string_view table = "EedbTapAggTable";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::nextOutlifPointer, &E::nextOutlifPointerIs>("nextOutlifPointer"),
      field<&E::vlanEditVid1, &E::vlanEditVid1Is>("vlanEditVid1"),
      field<&E::vlanEditVid2, &E::vlanEditVid2Is>("vlanEditVid2"),
      field<&E::reserved1, &E::reserved1Is>("reserved1"),
      field<&E::destMac, &E::destMacIs>("destMac"),
      field<&E::srcMac, &E::srcMacIs>("srcMac"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::egressLastLayer, &E::egressLastLayerIs>("egressLastLayer"),
      field<&E::vlanEditProfile, &E::vlanEditProfileIs>("vlanEditProfile"),
  };
};
