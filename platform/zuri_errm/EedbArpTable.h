// ZuriErrmArp::EedbArpTable*: the software ARP table (next-hop link-layer encapsulations): its key,
// log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrmArp {

using EedbArpTableEntryKey = ZuriErrm::detail::ScalarKey<struct EedbArpTableKeyTag, std::uint32_t>;

class EedbArpTableLogEntry {
 public:
  // Low 20 bits are the hardware key.
  constexpr EedbArpTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbArpTableEntryKey v) noexcept { key_ = v; }
  constexpr std::uint32_t statObjectId() const noexcept { return statObjectId_; }
  constexpr void statObjectIdIs(std::uint32_t v) noexcept { statObjectId_ = v; }
  constexpr std::uint16_t vlanEditVid1() const noexcept { return vlanEditVid1_; }
  constexpr void vlanEditVid1Is(std::uint16_t v) noexcept { vlanEditVid1_ = v; }
  constexpr std::uint16_t fodo() const noexcept { return fodo_; }
  constexpr void fodoIs(std::uint16_t v) noexcept { fodo_ = v; }
  Plexo::EthAddr const& l2Mac() const noexcept { return l2Mac_; }
  void l2MacIs(Plexo::EthAddr const& v) noexcept { l2Mac_ = v; }
  // 1 to 5 select the format.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t actionProfile() const noexcept { return actionProfile_; }
  constexpr void actionProfileIs(std::uint8_t v) noexcept { actionProfile_ = v; }
  constexpr std::uint8_t egressLastLayer() const noexcept { return egressLastLayer_; }
  constexpr void egressLastLayerIs(std::uint8_t v) noexcept { egressLastLayer_ = v; }
  constexpr std::uint8_t statObjectCmd() const noexcept { return statObjectCmd_; }
  constexpr void statObjectCmdIs(std::uint8_t v) noexcept { statObjectCmd_ = v; }
  constexpr std::uint8_t vlanEditProfile() const noexcept { return vlanEditProfile_; }
  constexpr void vlanEditProfileIs(std::uint8_t v) noexcept { vlanEditProfile_ = v; }
  constexpr std::uint8_t mtuProfile() const noexcept { return mtuProfile_; }
  constexpr void mtuProfileIs(std::uint8_t v) noexcept { mtuProfile_ = v; }

  bool operator==(EedbArpTableLogEntry const&) const noexcept = default;

 private:
  EedbArpTableEntryKey key_;
  std::uint32_t statObjectId_ = 0;
  std::uint16_t vlanEditVid1_ = 0;
  std::uint16_t fodo_ = 0;
  Plexo::EthAddr l2Mac_;
  std::uint8_t viewType_ = 0;
  std::uint8_t actionProfile_ = 0;
  std::uint8_t egressLastLayer_ = 0;
  std::uint8_t statObjectCmd_ = 0;
  std::uint8_t vlanEditProfile_ = 0;
  std::uint8_t mtuProfile_ = 0;
};

using EedbArpTableLogFlumeEntry = ZuriErrm::LogFlumeEntry<EedbArpTableLogEntry>;

class EedbArpTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public ZuriErrm::detail::WrapperData<EedbArpTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbArpTableLogEntryWrapper() override;
};

struct EedbArpTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03011001};
};

}  // namespace ZuriErrmArp

template <>
struct ZuriErrm::Fields<ZuriErrmArp::EedbArpTableLogEntry> {
  using E = ZuriErrmArp::EedbArpTableLogEntry;
  static constexpr std::string_view table = "EedbArpTable";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::statObjectId, &E::statObjectIdIs>("statObjectId"),
      field<&E::vlanEditVid1, &E::vlanEditVid1Is>("vlanEditVid1"),
      field<&E::fodo, &E::fodoIs>("fodo"),
      field<&E::l2Mac, &E::l2MacIs>("l2Mac"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::actionProfile, &E::actionProfileIs>("actionProfile"),
      field<&E::egressLastLayer, &E::egressLastLayerIs>("egressLastLayer"),
      field<&E::statObjectCmd, &E::statObjectCmdIs>("statObjectCmd"),
      field<&E::vlanEditProfile, &E::vlanEditProfileIs>("vlanEditProfile"),
      field<&E::mtuProfile, &E::mtuProfileIs>("mtuProfile"),
  };
};
