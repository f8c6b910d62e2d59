// ZuriErrm::EedbMplsTunnelTable*: the software MPLS tunnel table (label push, swap and label data
// entries): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbMplsTunnelTableEntryKey =
    detail::ScalarKey<struct EedbMplsTunnelTableKeyTag, std::uint32_t>;

class EedbMplsTunnelTableLogEntry {
 public:
  constexpr EedbMplsTunnelTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbMplsTunnelTableEntryKey v) noexcept { key_ = v; }
  // Low 20 bits used.
  constexpr std::uint32_t nextOutlifPointer() const noexcept { return nextOutlifPointer_; }
  constexpr void nextOutlifPointerIs(std::uint32_t v) noexcept { nextOutlifPointer_ = v; }
  // Low 20 bits used.
  constexpr std::uint32_t label1() const noexcept { return label1_; }
  constexpr void label1Is(std::uint32_t v) noexcept { label1_ = v; }
  constexpr std::uint32_t label2() const noexcept { return label2_; }
  constexpr void label2Is(std::uint32_t v) noexcept { label2_ = v; }
  constexpr std::uint32_t label3() const noexcept { return label3_; }
  constexpr void label3Is(std::uint32_t v) noexcept { label3_ = v; }
  constexpr std::uint32_t label4() const noexcept { return label4_; }
  constexpr void label4Is(std::uint32_t v) noexcept { label4_ = v; }
  constexpr std::uint32_t label5() const noexcept { return label5_; }
  constexpr void label5Is(std::uint32_t v) noexcept { label5_ = v; }
  constexpr std::uint32_t label6() const noexcept { return label6_; }
  constexpr void label6Is(std::uint32_t v) noexcept { label6_ = v; }
  // 0x1FFFF and above: no statistics object.
  constexpr std::uint32_t statObjectId() const noexcept { return statObjectId_; }
  constexpr void statObjectIdIs(std::uint32_t v) noexcept { statObjectId_ = v; }
  // 1 to 11 select the format; 0 and above 11: none.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t vlanEditProfile() const noexcept { return vlanEditProfile_; }
  constexpr void vlanEditProfileIs(std::uint8_t v) noexcept { vlanEditProfile_ = v; }
  constexpr std::uint8_t esemCommand() const noexcept { return esemCommand_; }
  constexpr void esemCommandIs(std::uint8_t v) noexcept { esemCommand_ = v; }
  constexpr std::uint8_t ttlMode() const noexcept { return ttlMode_; }
  constexpr void ttlModeIs(std::uint8_t v) noexcept { ttlMode_ = v; }
  // Low 3 bits used.
  constexpr std::uint8_t encapQosModel() const noexcept { return encapQosModel_; }
  constexpr void encapQosModelIs(std::uint8_t v) noexcept { encapQosModel_ = v; }
  // Low 6 bits used.
  constexpr std::uint8_t nwkQosIdx() const noexcept { return nwkQosIdx_; }
  constexpr void nwkQosIdxIs(std::uint8_t v) noexcept { nwkQosIdx_ = v; }
  // Low 4 bits used.
  constexpr std::uint8_t ttlPipeProfile() const noexcept { return ttlPipeProfile_; }
  constexpr void ttlPipeProfileIs(std::uint8_t v) noexcept { ttlPipeProfile_ = v; }
  constexpr std::uint8_t lifAhpMpls() const noexcept { return lifAhpMpls_; }
  constexpr void lifAhpMplsIs(std::uint8_t v) noexcept { lifAhpMpls_ = v; }

  bool operator==(EedbMplsTunnelTableLogEntry const&) const noexcept = default;

 private:
  EedbMplsTunnelTableEntryKey key_;
  std::uint32_t nextOutlifPointer_ = 0;
  std::uint32_t label1_ = 0;
  std::uint32_t label2_ = 0;
  std::uint32_t label3_ = 0;
  std::uint32_t label4_ = 0;
  std::uint32_t label5_ = 0;
  std::uint32_t label6_ = 0;
  std::uint32_t statObjectId_ = 0;
  std::uint8_t viewType_ = 0;
  std::uint8_t vlanEditProfile_ = 0;
  std::uint8_t esemCommand_ = 0;
  std::uint8_t ttlMode_ = 0;
  std::uint8_t encapQosModel_ = 0;
  std::uint8_t nwkQosIdx_ = 0;
  std::uint8_t ttlPipeProfile_ = 0;
  std::uint8_t lifAhpMpls_ = 0;
};

using EedbMplsTunnelTableLogFlumeEntry = LogFlumeEntry<EedbMplsTunnelTableLogEntry>;

class EedbMplsTunnelTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbMplsTunnelTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbMplsTunnelTableLogEntryWrapper() override;
};

struct EedbMplsTunnelTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C06};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbMplsTunnelTableLogEntry> {
  using E = ZuriErrm::EedbMplsTunnelTableLogEntry;
  static constexpr std::string_view table = "EedbMplsTunnelTable";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::nextOutlifPointer, &E::nextOutlifPointerIs>("nextOutlifPointer"),
      field<&E::label1, &E::label1Is>("label1"),
      field<&E::label2, &E::label2Is>("label2"),
      field<&E::label3, &E::label3Is>("label3"),
      field<&E::label4, &E::label4Is>("label4"),
      field<&E::label5, &E::label5Is>("label5"),
      field<&E::label6, &E::label6Is>("label6"),
      field<&E::statObjectId, &E::statObjectIdIs>("statObjectId"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::vlanEditProfile, &E::vlanEditProfileIs>("vlanEditProfile"),
      field<&E::esemCommand, &E::esemCommandIs>("esemCommand"),
      field<&E::ttlMode, &E::ttlModeIs>("ttlMode"),
      field<&E::encapQosModel, &E::encapQosModelIs>("encapQosModel"),
      field<&E::nwkQosIdx, &E::nwkQosIdxIs>("nwkQosIdx"),
      field<&E::ttlPipeProfile, &E::ttlPipeProfileIs>("ttlPipeProfile"),
      field<&E::lifAhpMpls, &E::lifAhpMplsIs>("lifAhpMpls"),
  };
};
