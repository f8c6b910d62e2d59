// ZuriErrm::EedbSflowTable*: the software sFlow table (first-pass and first-pass data entries): its
// key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/Gen3EsemCmds.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

// The fields of the key, in storage order (see EEDB_SW_RECORD).
#define EEDB_SFLOW_TABLE_KEY_FIELDS(FIELD)                                     \
  FIELD(std::uint32_t, outlif)     /* Out-LIF of the first-pass entry. */      \
  FIELD(std::uint32_t, dataOutlif) /* Out-LIF of the first-pass data entry. */ \
  FIELD(std::uint32_t, word3)      /* Not used by the EEDB. */

class EedbSflowTableEntryKey {
 public:
  constexpr EedbSflowTableEntryKey() noexcept = default;
  constexpr EedbSflowTableEntryKey(std::uint32_t outlif, std::uint32_t dataOutlif,
                                   std::uint32_t word3) noexcept
      : outlif_(outlif), dataOutlif_(dataOutlif), word3_(word3) {}

  constexpr auto operator<=>(EedbSflowTableEntryKey const&) const noexcept = default;

  EEDB_SW_RECORD(EedbSflowTableEntryKey, EEDB_SFLOW_TABLE_KEY_FIELDS)
};

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_SFLOW_TABLE_FIELDS(FIELD)                        \
  FIELD(EedbSflowTableEntryKey, key)                          \
  FIELD(std::uint32_t, headerSampleSamplingRate)              \
  FIELD(std::uint32_t, headerRecordEnterpriseFormat)          \
  FIELD(std::uint32_t, reserved1) /* Not used by the EEDB. */ \
  FIELD(std::uint16_t, headerSampleSampleLength)              \
  FIELD(std::uint16_t, headerRecordDataLength)                \
  FIELD(std::uint16_t, headerRecordProtocol)                  \
  FIELD(std::uint16_t, headerRecordSize)                      \
  FIELD(std::uint8_t, viewType) /* 0: the sFlow view. */      \
  FIELD(std::uint8_t, headerSampleFlowRecord)                 \
  FIELD(std::uint8_t, reserved2) /* Not used by the EEDB. */  \
  FIELD(Gen3EsemCmds::Item, esemCommand)                      \
  FIELD(std::uint8_t, oamLifSet)                              \
  FIELD(std::uint8_t, eventorId)

class EedbSflowTableLogEntry {
 public:
  bool operator==(EedbSflowTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbSflowTableLogEntry, EEDB_SFLOW_TABLE_FIELDS)
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
struct ZuriErrm::Fields<ZuriErrm::EedbSflowTableLogEntry> {
  static constexpr std::string_view table = "EedbSflowTable";
  static constexpr auto list = ZuriErrm::EedbSflowTableLogEntry::fieldList();
};
