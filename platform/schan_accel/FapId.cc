// The range failure of a FAP number.
#include "schan_accel/FapId.h"

#include "pelix/RangeException.h"

namespace SchanAccel {

void FapId::throwRange() {
  Pelix::RangeException::throwException(
      "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not "
      "allowed");
}

}  // namespace SchanAccel
