// ZuriErrm::EedbMplsTunnelTable*: the software MPLS tunnel table (label push, swap and label data
// entries): its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbMplsTunnelTableEntryKey =
    detail::ScalarKey<struct EedbMplsTunnelTableKeyTag, std::uint32_t>;

// The fields of the log entry, in storage order (see EEDB_SW_RECORD).
#define EEDB_MPLS_TUNNEL_TABLE_FIELDS(FIELD)                                                \
  FIELD(EedbMplsTunnelTableEntryKey, key)                                                   \
  FIELD(std::uint32_t, nextOutlifPointer) /* Low 20 bits used. */                           \
  FIELD(std::uint32_t, label1)            /* Low 20 bits used. */                           \
  FIELD(std::uint32_t, label2)                                                              \
  FIELD(std::uint32_t, label3)                                                              \
  FIELD(std::uint32_t, label4)                                                              \
  FIELD(std::uint32_t, label5)                                                              \
  FIELD(std::uint32_t, label6)                                                              \
  FIELD(std::uint32_t, statObjectId) /* 0x1FFFF and above: no statistics object. */         \
  FIELD(std::uint8_t, viewType)      /* 1 to 11 select the format; 0 and above 11: none. */ \
  FIELD(std::uint8_t, vlanEditProfile)                                                      \
  FIELD(std::uint8_t, esemCommand)                                                          \
  FIELD(std::uint8_t, ttlMode)                                                              \
  FIELD(std::uint8_t, encapQosModel)  /* Low 3 bits used. */                                \
  FIELD(std::uint8_t, nwkQosIdx)      /* Low 6 bits used. */                                \
  FIELD(std::uint8_t, ttlPipeProfile) /* Low 4 bits used. */                                \
  FIELD(std::uint8_t, lifAhpMpls)

class EedbMplsTunnelTableLogEntry {
 public:
  bool operator==(EedbMplsTunnelTableLogEntry const&) const noexcept = default;

  EEDB_SW_RECORD(EedbMplsTunnelTableLogEntry, EEDB_MPLS_TUNNEL_TABLE_FIELDS)
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
  static constexpr std::string_view table = "EedbMplsTunnelTable";
  static constexpr auto list = ZuriErrm::EedbMplsTunnelTableLogEntry::fieldList();
};
