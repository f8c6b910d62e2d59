// ZuriErrm::EedbSflowTable*: the software sFlow table (first-pass and first-pass data entries): its
// key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/Gen3EsemCmds.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

class EedbSflowTableEntryKey {
 public:
  constexpr EedbSflowTableEntryKey() noexcept = default;
  constexpr EedbSflowTableEntryKey(std::uint32_t outlif, std::uint32_t dataOutlif,
                                   std::uint32_t word3) noexcept
      : outlif_(outlif), dataOutlif_(dataOutlif), word3_(word3) {}

  // Out-LIF of the first-pass entry.
  constexpr std::uint32_t outlif() const noexcept { return outlif_; }
  constexpr void outlifIs(std::uint32_t v) noexcept { outlif_ = v; }
  // Out-LIF of the first-pass data entry.
  constexpr std::uint32_t dataOutlif() const noexcept { return dataOutlif_; }
  constexpr void dataOutlifIs(std::uint32_t v) noexcept { dataOutlif_ = v; }
  // Not used by the EEDB.
  constexpr std::uint32_t word3() const noexcept { return word3_; }
  constexpr void word3Is(std::uint32_t v) noexcept { word3_ = v; }
  constexpr auto operator<=>(EedbSflowTableEntryKey const&) const noexcept = default;

 private:
  std::uint32_t outlif_ = 0;
  std::uint32_t dataOutlif_ = 0;
  std::uint32_t word3_ = 0;
};

class EedbSflowTableLogEntry {
 public:
  constexpr EedbSflowTableEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbSflowTableEntryKey v) noexcept { key_ = v; }
  constexpr std::uint32_t headerSampleSamplingRate() const noexcept {
    return headerSampleSamplingRate_;
  }
  constexpr void headerSampleSamplingRateIs(std::uint32_t v) noexcept {
    headerSampleSamplingRate_ = v;
  }
  constexpr std::uint32_t headerRecordEnterpriseFormat() const noexcept {
    return headerRecordEnterpriseFormat_;
  }
  constexpr void headerRecordEnterpriseFormatIs(std::uint32_t v) noexcept {
    headerRecordEnterpriseFormat_ = v;
  }
  // Not used by the EEDB.
  constexpr std::uint32_t reserved1() const noexcept { return reserved1_; }
  constexpr void reserved1Is(std::uint32_t v) noexcept { reserved1_ = v; }
  constexpr std::uint16_t headerSampleSampleLength() const noexcept {
    return headerSampleSampleLength_;
  }
  constexpr void headerSampleSampleLengthIs(std::uint16_t v) noexcept {
    headerSampleSampleLength_ = v;
  }
  constexpr std::uint16_t headerRecordDataLength() const noexcept {
    return headerRecordDataLength_;
  }
  constexpr void headerRecordDataLengthIs(std::uint16_t v) noexcept { headerRecordDataLength_ = v; }
  constexpr std::uint16_t headerRecordProtocol() const noexcept { return headerRecordProtocol_; }
  constexpr void headerRecordProtocolIs(std::uint16_t v) noexcept { headerRecordProtocol_ = v; }
  constexpr std::uint16_t headerRecordSize() const noexcept { return headerRecordSize_; }
  constexpr void headerRecordSizeIs(std::uint16_t v) noexcept { headerRecordSize_ = v; }
  // 0: the sFlow view.
  constexpr std::uint8_t viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(std::uint8_t v) noexcept { viewType_ = v; }
  constexpr std::uint8_t headerSampleFlowRecord() const noexcept { return headerSampleFlowRecord_; }
  constexpr void headerSampleFlowRecordIs(std::uint8_t v) noexcept { headerSampleFlowRecord_ = v; }
  // Not used by the EEDB.
  constexpr std::uint8_t reserved2() const noexcept { return reserved2_; }
  constexpr void reserved2Is(std::uint8_t v) noexcept { reserved2_ = v; }
  constexpr Gen3EsemCmds::Item esemCommand() const noexcept { return esemCommand_; }
  constexpr void esemCommandIs(Gen3EsemCmds::Item v) noexcept { esemCommand_ = v; }
  constexpr std::uint8_t oamLifSet() const noexcept { return oamLifSet_; }
  constexpr void oamLifSetIs(std::uint8_t v) noexcept { oamLifSet_ = v; }
  constexpr std::uint8_t eventorId() const noexcept { return eventorId_; }
  constexpr void eventorIdIs(std::uint8_t v) noexcept { eventorId_ = v; }

  bool operator==(EedbSflowTableLogEntry const&) const noexcept = default;

 private:
  EedbSflowTableEntryKey key_;
  std::uint32_t headerSampleSamplingRate_ = 0;
  std::uint32_t headerRecordEnterpriseFormat_ = 0;
  std::uint32_t reserved1_ = 0;
  std::uint16_t headerSampleSampleLength_ = 0;
  std::uint16_t headerRecordDataLength_ = 0;
  std::uint16_t headerRecordProtocol_ = 0;
  std::uint16_t headerRecordSize_ = 0;
  std::uint8_t viewType_ = 0;
  std::uint8_t headerSampleFlowRecord_ = 0;
  std::uint8_t reserved2_ = 0;
  Gen3EsemCmds::Item esemCommand_{};
  std::uint8_t oamLifSet_ = 0;
  std::uint8_t eventorId_ = 0;
};

using EedbSflowTableLogFlumeEntry = LogFlumeEntry<EedbSflowTableLogEntry>;

class EedbSflowTableLogEntryWrapper final
    : public Asic::LogEntryWrapperBase,
      public detail::WrapperData<EedbSflowTableLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbSflowTableLogEntryWrapper() override;
};

struct EedbSflowTableConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C08};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSflowTableEntryKey> {
  using K = ZuriErrm::EedbSflowTableEntryKey;
  static constexpr auto list = std::tuple{
      field<&K::outlif, &K::outlifIs>("outlif"),
      field<&K::dataOutlif, &K::dataOutlifIs>("dataOutlif"),
      field<&K::word3, &K::word3Is>("word3"),
  };
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSflowTableLogEntry> {
  using E = ZuriErrm::EedbSflowTableLogEntry;
  static constexpr std::string_view table = "EedbSflowTable";
  static constexpr auto list = std::tuple{
      group<&E::key, &E::keyIs>("key"),
      field<&E::headerSampleSamplingRate, &E::headerSampleSamplingRateIs>(
          "headerSampleSamplingRate"),
      field<&E::headerRecordEnterpriseFormat, &E::headerRecordEnterpriseFormatIs>(
          "headerRecordEnterpriseFormat"),
      field<&E::reserved1, &E::reserved1Is>("reserved1"),
      field<&E::headerSampleSampleLength, &E::headerSampleSampleLengthIs>(
          "headerSampleSampleLength"),
      field<&E::headerRecordDataLength, &E::headerRecordDataLengthIs>("headerRecordDataLength"),
      field<&E::headerRecordProtocol, &E::headerRecordProtocolIs>("headerRecordProtocol"),
      field<&E::headerRecordSize, &E::headerRecordSizeIs>("headerRecordSize"),
      field<&E::viewType, &E::viewTypeIs>("viewType"),
      field<&E::headerSampleFlowRecord, &E::headerSampleFlowRecordIs>("headerSampleFlowRecord"),
      field<&E::reserved2, &E::reserved2Is>("reserved2"),
      field<&E::esemCommand, &E::esemCommandIs>("esemCommand"),
      field<&E::oamLifSet, &E::oamLifSetIs>("oamLifSet"),
      field<&E::eventorId, &E::eventorIdIs>("eventorId"),
  };
};
