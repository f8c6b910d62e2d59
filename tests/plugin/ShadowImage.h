// Every entry of a hardware table of any class, printed and keyed by place, so that plug-in
// tests can compare whole shadows, before and after, or against a reference.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "chip26_a0/EedbHwDirect.h"
#include "chip26_a0/EedbHwMdb.h"
#include "zuri_asic_utils/HwCommonTableBase.h"

namespace eedb::test {

// (packed shadow key, hardware key) -> the entry as printed.
using TableImage = std::map<std::pair<std::uint16_t, std::uint32_t>, std::string>;

inline TableImage imageOf(ZuriAsicUtils::HwCommonTableBase const& base) {
  TableImage image;
  auto add = [&](auto const& table) {
    table.forEachEntry([&](ZuriAsicUtils::HwShadowKey k, auto const& e) {
      image[{k.packed(), e.key().value()}] = fmt::format("{}", e);
    });
  };
  if (auto const* t = dynamic_cast<chip26_a0::EedbHwMdb const*>(&base)) add(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbAgMemTlmHwDirect const*>(&base)) add(*t);
  if (auto const* t = dynamic_cast<chip26_a0::EedbDataByLocalOutlifMsbsHwDirect const*>(&base)) {
    add(*t);
  }
  return image;
}

}  // namespace eedb::test
