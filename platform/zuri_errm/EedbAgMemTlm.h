// ZuriErrm::EedbAgMemTlm*: the software AgMemTlm table (a direct EEDB table of one bit per key):
// its key, log entry, log Flume entry, wrapper and constants.
#pragma once

#include <cstdint>

#include <fmt/format.h>

#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbAgMemTlmEntryKey = detail::ScalarKey<struct EedbAgMemTlmKeyTag, std::uint16_t>;

class EedbAgMemTlmLogEntry {
 public:
  constexpr EedbAgMemTlmEntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbAgMemTlmEntryKey v) noexcept { key_ = v; }
  // 0 or 1.
  constexpr std::uint8_t agFieldTlm() const noexcept { return agFieldTlm_; }
  constexpr void agFieldTlmIs(std::uint8_t v) noexcept { agFieldTlm_ = v; }

  bool operator==(EedbAgMemTlmLogEntry const&) const noexcept = default;

 private:
  EedbAgMemTlmEntryKey key_;
  std::uint8_t agFieldTlm_ = 0;
};

using EedbAgMemTlmLogFlumeEntry = LogFlumeEntry<EedbAgMemTlmLogEntry>;

class EedbAgMemTlmLogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                          public detail::WrapperData<EedbAgMemTlmLogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbAgMemTlmLogEntryWrapper() override;
};

struct EedbAgMemTlmConstants {
  static constexpr Asic::SwTableId swTableId{0x03010C01};
};

}  // namespace ZuriErrm

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbAgMemTlmLogEntry> {
  using E = ZuriErrm::EedbAgMemTlmLogEntry;
  static constexpr std::string_view table = "EedbAgMemTlm";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::agFieldTlm, &E::agFieldTlmIs>("agFieldTlm"),
  };
};
