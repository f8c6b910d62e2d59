// A table utility as the tool loaded it, and the one service that explaining an offer needs
// from whoever loaded it: translating an entry as shadow writing would, without writing the
// shadow or the chip. The session provides it; the explainer uses it and knows nothing else of
// the session.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "OfferResult.h"
#include "asic/Types.h"
#include "pelix/Ptr.h"
#include "replay_support/Catalog.h"
#include "zuri_asic_utils/UtilBase.h"

namespace eedb::replay {

struct TableAccess;  // how the tool reads one class of hardware table (Session.cc)

struct LoadedUtil {
  Pelix::Ptr<ZuriAsicUtils::UtilBase> util;
  std::string name;                     // tableName()
  TableAccess const* access = nullptr;  // null for a hardware table class the tool does not know
  std::string_view shortName;           // name without namespaces, within `name`
  // Its type record offers mapToHwKey as an operation, found once: the read-back of every
  // offer calls it without looking the member up again.
  bool mapsToHwKey = false;
};

class Translator {
 public:
  // Fills `out` with the hardware key, format and fields of the entry as the table utility
  // translates it (present: always true); raises what translation raised.
  virtual void translate(LoadedUtil const& util, ZuriErrm::TableInfo const& table,
                         ZuriErrm::AnyLogEntry const& entry, Asic::UnitId unitId,
                         std::uint8_t flags, ShadowView& out) const = 0;

 protected:
  ~Translator() = default;
};

}  // namespace eedb::replay
