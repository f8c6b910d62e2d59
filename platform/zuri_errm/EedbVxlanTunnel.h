// ZuriErrm::EedbVxlanTunnel*: the software VXLAN tunnel table: its key, log entry, log Flume entry,
// wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "hardware/FapRevision.h"
#include "hardware/FieldTypes.h"
#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbVxlanTunnelEntryKey = detail::ScalarKey<struct EedbVxlanTunnelKeyTag, std::uint32_t>;

class EedbVxlanTunnelLogEntry {
 public:
  constexpr EedbVxlanTunnelEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbVxlanTunnelEntryKey v) noexcept { key_ = v; }
  // Not valid: no next entry.
  constexpr Hardware::Zuri::Outlif nextOutlif() const noexcept { return nextOutlif_; }
  constexpr void nextOutlifIs(Hardware::Zuri::Outlif v) noexcept { nextOutlif_ = v; }
  // 0: IPv4 VXLAN tunnel.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  Plexo::IpGenAddr const& dip() const noexcept { return dip_; }
  void dipIs(Plexo::IpGenAddr const& v) noexcept { dip_ = v; }
  constexpr U4 esemNameSpace() const noexcept { return esemNameSpace_; }
  constexpr void esemNameSpaceIs(U4 v) noexcept { esemNameSpace_ = v; }
  constexpr U3 outLifProfile() const noexcept { return outLifProfile_; }
  constexpr void outLifProfileIs(U3 v) noexcept { outLifProfile_ = v; }
  constexpr std::uint8_t sourceIdx() const noexcept { return sourceIdx_; }
  constexpr void sourceIdxIs(std::uint8_t v) noexcept { sourceIdx_ = v; }
  constexpr U4 ttlPipeProfile() const noexcept { return ttlPipeProfile_; }
  constexpr void ttlPipeProfileIs(U4 v) noexcept { ttlPipeProfile_ = v; }
  constexpr U6 nwkQosIdx() const noexcept { return nwkQosIdx_; }
  constexpr void nwkQosIdxIs(U6 v) noexcept { nwkQosIdx_ = v; }

  bool operator==(EedbVxlanTunnelLogEntry const&) const noexcept = default;

 private:
  EedbVxlanTunnelEntryKey key_;
  Hardware::Zuri::Outlif nextOutlif_;
  std::uint8_t viewType_ = 0;
  Plexo::IpGenAddr dip_;
  U4 esemNameSpace_;
  U3 outLifProfile_;
  std::uint8_t sourceIdx_ = 0;
  U4 ttlPipeProfile_;
  U6 nwkQosIdx_;
};

using EedbVxlanTunnelLogFlumeEntry = LogFlumeEntry<EedbVxlanTunnelLogEntry>;

class EedbVxlanTunnelLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbVxlanTunnelLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbVxlanTunnelLogEntryWrapper() override;
};

struct EedbVxlanTunnelConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C0D};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbVxlanTunnelLogEntry> {
  using E = ZuriErrm::EedbVxlanTunnelLogEntry;
  static constexpr std::string_view table = "EedbVxlanTunnel";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::nextOutlif, &E::nextOutlifIs>("nextOutlif"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::dip, &E::dipIs>("dip"),
      field<&E::esemNameSpace, &E::esemNameSpaceIs>("esemNameSpace"),
      field<&E::outLifProfile, &E::outLifProfileIs>("outLifProfile"),
      field<&E::sourceIdx, &E::sourceIdxIs>("sourceIdx"),
      field<&E::ttlPipeProfile, &E::ttlPipeProfileIs>("ttlPipeProfile"),
      field<&E::nwkQosIdx, &E::nwkQosIdxIs>("nwkQosIdx"),
  };
};
