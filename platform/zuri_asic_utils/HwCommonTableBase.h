// ZuriAsicUtils::HwCommonTableBase: base of every hardware table object (the chip's table
// access classes). A table enters its table manager's collection under its HwTableKey when it
// is built and leaves it when it goes.
#pragma once

#include <cstddef>

#include "kiv/AllocTrack.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwKeys.h"
#include "zuri_asic_utils/SchanCmd.h"

namespace ZuriAsicUtils {

class TableManager;

class HwCommonTableBase : public Pelix::Node {
 public:
  HwCommonTableBase(Pelix::String name, HwTableKey key, Pelix::Ptr<TableManager> const& manager);
  ~HwCommonTableBase() override;

  Pelix::String const& name() const noexcept { return name_; }
  HwTableKey const& key() const noexcept { return key_; }
  // The full class name of the table, e.g. "chip26_a0::EedbHwMdb".
  virtual Pelix::String tableType() const = 0;

  // Clears the entries of every shadow key of this FAP (the null FAP id clears every FAP) and
  // returns the commands that clear their places on the chip, in shadow order.
  virtual SchanCmds clearTable(SchanAccel::FapId fapId) = 0;

  // The tracker that recorded this table's allocation, told of its release when the table goes.
  void allocationTrackerIs(Kiv::AllocTrackTypeInfo* tracker, std::size_t size) noexcept {
    allocationTracker_ = tracker;
    allocationSize_ = size;
  }

  // When set, a delete writes the reverted entry back instead of removing the entry.
  bool updateOnDelete() const noexcept { return updateOnDelete_; }
  void updateOnDeleteIs(bool on) noexcept { updateOnDelete_ = on; }

 private:
  Pelix::String name_;
  HwTableKey key_;
  Pelix::Ptr<TableManager> manager_;
  bool updateOnDelete_ = false;
  Kiv::AllocTrackTypeInfo* allocationTracker_ = nullptr;
  std::size_t allocationSize_ = 0;
};

}  // namespace ZuriAsicUtils
