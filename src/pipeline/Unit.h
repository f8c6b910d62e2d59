// Taking the FAP id out of a unit id: every place that does so checks it first.
#pragma once

#include "asic/Types.h"
#include "schan_accel/FapId.h"

namespace eedb {

// The unit's FAP id; a unit id above 0x80FF (FAP id above 128, the null FAP id) raises
// Pelix::RangeException "SchanAccel::FapId::value < SchanAccel::FapId::min or >
// SchanAccel::FapId::null not allowed".
inline SchanAccel::FapId fapIdOf(Asic::UnitId unitId) {
  return SchanAccel::FapId(unitId.fapIdRaw());
}

}  // namespace eedb
