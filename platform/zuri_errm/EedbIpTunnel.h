// ZuriErrm::EedbIpTunnel*: the software IP tunnel table (IPv4 and IPv6 tunnels, with or without
// UDP): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "hardware/FieldTypes.h"
#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

class EedbIpTunnelEntryKey {
 public:
  constexpr EedbIpTunnelEntryKey() noexcept = default;
  constexpr EedbIpTunnelEntryKey(std::uint32_t outlif, std::uint32_t dipOutlif) noexcept
      : outlif_(outlif), dipOutlif_(dipOutlif) {}

  // Out-LIF of the tunnel entry.
  constexpr std::uint32_t outlif() const noexcept { return outlif_; }
  constexpr void outlifIs(std::uint32_t v) noexcept { outlif_ = v; }
  // Out-LIF of the IPv6 DIP data entry.
  constexpr std::uint32_t dipOutlif() const noexcept { return dipOutlif_; }
  constexpr void dipOutlifIs(std::uint32_t v) noexcept { dipOutlif_ = v; }
  constexpr auto operator<=>(EedbIpTunnelEntryKey const&) const noexcept = default;

 private:
  std::uint32_t outlif_ = 0;
  std::uint32_t dipOutlif_ = 0;
};

class EedbIpTunnelLogEntry {
 public:
  // Not used by the EEDB.
  constexpr std::uint32_t reserved1() const noexcept { return reserved1_; }
  constexpr void reserved1Is(std::uint32_t v) noexcept { reserved1_ = v; }
  constexpr std::uint32_t statObjectId() const noexcept { return statObjectId_; }
  constexpr void statObjectIdIs(std::uint32_t v) noexcept { statObjectId_ = v; }
  constexpr U4 lifAhp() const noexcept { return lifAhp_; }
  constexpr void lifAhpIs(U4 v) noexcept { lifAhp_ = v; }
  constexpr U20 nextOutlifPointer() const noexcept { return nextOutlifPointer_; }
  constexpr void nextOutlifPointerIs(U20 v) noexcept { nextOutlifPointer_ = v; }
  constexpr EedbIpTunnelEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbIpTunnelEntryKey v) noexcept { key_ = v; }
  constexpr U10 fodo() const noexcept { return fodo_; }
  constexpr void fodoIs(U10 v) noexcept { fodo_ = v; }
  // 0 ipv4Raw, 1 ipv4Udp, 2 ipv6Udp, 3 ipv6Raw.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr U6 esemCommand() const noexcept { return esemCommand_; }
  constexpr void esemCommandIs(U6 v) noexcept { esemCommand_ = v; }
  constexpr U2 actionProfile() const noexcept { return actionProfile_; }
  constexpr void actionProfileIs(U2 v) noexcept { actionProfile_ = v; }
  constexpr U6 nwkQosIdx() const noexcept { return nwkQosIdx_; }
  constexpr void nwkQosIdxIs(U6 v) noexcept { nwkQosIdx_ = v; }
  constexpr U3 encapQosModel() const noexcept { return encapQosModel_; }
  constexpr void encapQosModelIs(U3 v) noexcept { encapQosModel_ = v; }
  constexpr U1 ttlDecrementDisable() const noexcept { return ttlDecrementDisable_; }
  constexpr void ttlDecrementDisableIs(U1 v) noexcept { ttlDecrementDisable_ = v; }
  constexpr U1 ttlMode() const noexcept { return ttlMode_; }
  constexpr void ttlModeIs(U1 v) noexcept { ttlMode_ = v; }
  constexpr U1 ipv4HeaderDfFlag() const noexcept { return ipv4HeaderDfFlag_; }
  constexpr void ipv4HeaderDfFlagIs(U1 v) noexcept { ipv4HeaderDfFlag_ = v; }
  constexpr U1 ipv4HeaderReservedFlag() const noexcept { return ipv4HeaderReservedFlag_; }
  constexpr void ipv4HeaderReservedFlagIs(U1 v) noexcept { ipv4HeaderReservedFlag_ = v; }
  // Tunnel destination, IPv4 or IPv6.
  Plexo::IpGenAddr const& dip() const noexcept { return dip_; }
  void dipIs(Plexo::IpGenAddr const& v) noexcept { dip_ = v; }
  constexpr U5 remarkProfile() const noexcept { return remarkProfile_; }
  constexpr void remarkProfileIs(U5 v) noexcept { remarkProfile_ = v; }
  constexpr U4 mtuProfile() const noexcept { return mtuProfile_; }
  constexpr void mtuProfileIs(U4 v) noexcept { mtuProfile_ = v; }
  constexpr std::uint8_t sourceIdx() const noexcept { return sourceIdx_; }
  constexpr void sourceIdxIs(std::uint8_t v) noexcept { sourceIdx_ = v; }
  constexpr U4 ttlPipeProfile() const noexcept { return ttlPipeProfile_; }
  constexpr void ttlPipeProfileIs(U4 v) noexcept { ttlPipeProfile_ = v; }
  constexpr U1 forwardQosModel() const noexcept { return forwardQosModel_; }
  constexpr void forwardQosModelIs(U1 v) noexcept { forwardQosModel_ = v; }

  bool operator==(EedbIpTunnelLogEntry const&) const noexcept = default;

 private:
  std::uint32_t reserved1_ = 0;
  std::uint32_t statObjectId_ = 0;
  U4 lifAhp_;
  U20 nextOutlifPointer_;
  EedbIpTunnelEntryKey key_;
  U10 fodo_;
  std::uint8_t viewType_ = 0;
  U6 esemCommand_;
  U2 actionProfile_;
  U6 nwkQosIdx_;
  U3 encapQosModel_;
  U1 ttlDecrementDisable_;
  U1 ttlMode_;
  U1 ipv4HeaderDfFlag_;
  U1 ipv4HeaderReservedFlag_;
  Plexo::IpGenAddr dip_;
  U5 remarkProfile_;
  U4 mtuProfile_;
  std::uint8_t sourceIdx_ = 0;
  U4 ttlPipeProfile_;
  U1 forwardQosModel_;
};

using EedbIpTunnelLogFlumeEntry = LogFlumeEntry<EedbIpTunnelLogEntry>;

class EedbIpTunnelLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                          public detail::WrapperData<EedbIpTunnelLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbIpTunnelLogEntryWrapper() override;
};

struct EedbIpTunnelConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C04};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbIpTunnelEntryKey> {
  using K = ZuriErrm::EedbIpTunnelEntryKey;
  static constexpr auto list = std::tuple{
      field<&K::outlif, &K::outlifIs>("outlif"),
      field<&K::dipOutlif, &K::dipOutlifIs>("dipOutlif"),
  };
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbIpTunnelLogEntry> {
  using E = ZuriErrm::EedbIpTunnelLogEntry;
  static constexpr std::string_view table = "EedbIpTunnel";
  static constexpr auto list = std::tuple{
      field<&E::reserved1, &E::reserved1Is>("reserved1"),
      field<&E::statObjectId, &E::statObjectIdIs>("statObjectId"),
      field<&E::lifAhp, &E::lifAhpIs>("lifAhp"),
      field<&E::nextOutlifPointer, &E::nextOutlifPointerIs>("nextOutlifPointer"),
      group<&E::key, &E::keyIs>("key"),
      field<&E::fodo, &E::fodoIs>("fodo"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::esemCommand, &E::esemCommandIs>("esemCommand"),
      field<&E::actionProfile, &E::actionProfileIs>("actionProfile"),
      field<&E::nwkQosIdx, &E::nwkQosIdxIs>("nwkQosIdx"),
      field<&E::encapQosModel, &E::encapQosModelIs>("encapQosModel"),
      field<&E::ttlDecrementDisable, &E::ttlDecrementDisableIs>("ttlDecrementDisable"),
      field<&E::ttlMode, &E::ttlModeIs>("ttlMode"),
      field<&E::ipv4HeaderDfFlag, &E::ipv4HeaderDfFlagIs>("ipv4HeaderDfFlag"),
      field<&E::ipv4HeaderReservedFlag, &E::ipv4HeaderReservedFlagIs>("ipv4HeaderReservedFlag"),
      field<&E::dip, &E::dipIs>("dip"),
      field<&E::remarkProfile, &E::remarkProfileIs>("remarkProfile"),
      field<&E::mtuProfile, &E::mtuProfileIs>("mtuProfile"),
      field<&E::sourceIdx, &E::sourceIdxIs>("sourceIdx"),
      field<&E::ttlPipeProfile, &E::ttlPipeProfileIs>("ttlPipeProfile"),
      field<&E::forwardQosModel, &E::forwardQosModelIs>("forwardQosModel"),
  };
};
