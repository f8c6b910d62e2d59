// The agent's table-utility framework: the registration key, the base classes of every table
// utility, their statistics, and the context that holds the registered factories.
//
// Threading: the agent calls the table utilities of one table manager from one thread at a time,
// and they take no lock. Different threads at different times are fine, and so is a call from
// inside a call on the same thread into another hardware table; a call from inside an operation
// into its own hardware table ends in a fatal assertion that names both operations, and two
// threads inside the hardware tables of one table manager at once (one table or two: they share
// the manager's statistics) in one that names both table utilities. The whole rule is in
// HwCommonTableBase.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/Types.h"
#include "hardware/FapRevision.h"
#include "pelix/Node.h"
#include "pelix/Ptr.h"
#include "pelix/String.h"
#include "schan_accel/FapId.h"
#include "zuri_asic_utils/HwCommonTableBase.h"
#include "zuri_asic_utils/SchanCmd.h"
#include "zuri_asic_utils/TableManager.h"

namespace Pelix {
struct TypeRecord;
}

namespace ZuriAsicUtils {

// Registration key and identity of a table utility.
struct UtilKey {
  Pelix::String utilName;
  Asic::SwTableId swTableId;
  Hardware::Zuri::FapRevision fapRevision;

  bool operator==(UtilKey const&) const = default;
};

// Per table utility counters.
class UtilStats : public Pelix::Node {
 public:
  void fapmaskMismatchInc(std::uint64_t n) noexcept { fapmaskMismatch_ += n; }
  void addCntInc(std::uint64_t n) noexcept { add_ += n; }
  void deleteCntInc(std::uint64_t n) noexcept { delete_ += n; }
  void updateOnDelCntInc(std::uint64_t n) noexcept { updateOnDel_ += n; }

  std::uint64_t fapmaskMismatch() const noexcept { return fapmaskMismatch_; }
  std::uint64_t addCnt() const noexcept { return add_; }
  std::uint64_t deleteCnt() const noexcept { return delete_; }
  std::uint64_t updateOnDelCnt() const noexcept { return updateOnDel_; }

 private:
  std::uint64_t fapmaskMismatch_ = 0;
  std::uint64_t add_ = 0;
  std::uint64_t delete_ = 0;
  std::uint64_t updateOnDel_ = 0;
};

// What the agent knows of one FAP when it hands it to a table utility.
class FapControlData : public Pelix::Node {
 public:
  explicit FapControlData(SchanAccel::FapId fapId) noexcept : fapId_(fapId) {}
  SchanAccel::FapId fapId() const noexcept { return fapId_; }

 private:
  SchanAccel::FapId fapId_;
};

// Passed through to the table utilities of the direct family only.
class HwWriterStatus : public Pelix::Node {};
// Passed through only.
class HwBulkDownloadErrConfig : public Pelix::Node {};

class UtilBase : public Pelix::Node {
 public:
  UtilBase(UtilKey const& utilKey, Pelix::Ptr<TableManager> const& hwTableManager);
  ~UtilBase() override;

  // Reflection record of the concrete class.
  virtual Pelix::TypeRecord const* typeData() const = 0;
  virtual bool requiresEntryByEntryDeletion() const;
  virtual SchanCmds processSwEntry(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) = 0;
  virtual bool utilApplicable(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) = 0;
  virtual Pelix::String hwTableType() const = 0;
  // Adds the FAP to the FAP mask.
  virtual void fapIdIs(Pelix::Ptr<FapControlData const> const& fap);
  // Removes the FAP from the FAP mask.
  virtual void fapIdDel(SchanAccel::FapId fapId);
  virtual std::uint32_t writeSwEntryToShadow(
      Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) = 0;
  virtual SchanCmds getSchanCmds(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                 std::uint32_t sizeBits) = 0;
  virtual SchanCmds clearHwTable(Asic::UnitId unitId) = 0;

  UtilKey const& utilKey() const noexcept { return utilKey_; }
  Pelix::Ptr<TableManager> const& hwTableManager() const noexcept { return hwTableManager_; }
  SchanAccel::Fapmask const& fapmask() const noexcept { return fapmask_; }

  // The bound hardware table (may be empty). Virtual, so that a table utility keeps the table it
  // is bound to as the class it works with, whoever binds it.
  Pelix::Ptr<HwCommonTableBase> const& hwTableBase() const noexcept { return hwTable_; }
  virtual void hwTableBaseIs(Pelix::Ptr<HwCommonTableBase> table) noexcept {
    hwTable_ = std::move(table);
  }

  // Creates the statistics object (replacing any earlier one) and returns it.
  Pelix::Ptr<UtilStats> statsIs();
  Pelix::Ptr<UtilStats> const& stats() const noexcept { return stats_; }

 private:
  UtilKey utilKey_;
  Pelix::Ptr<TableManager> hwTableManager_;
  Pelix::Ptr<HwCommonTableBase> hwTable_;
  SchanAccel::Fapmask fapmask_;
  Pelix::Ptr<UtilStats> stats_;
};

class MdbUtilBase : public UtilBase {
 public:
  MdbUtilBase(UtilKey const& utilKey, Pelix::Ptr<TableManager> const& hwTableManager,
              Pelix::Ptr<ZuriMdb::TableManager> const& mdbTableManager);
  ~MdbUtilBase() override;

  void fapIdIs(Pelix::Ptr<FapControlData const> const& fap) override;
  void fapIdDel(SchanAccel::FapId fapId) override;
  Pelix::Ptr<ZuriMdb::TableManager> const& mdbTableManager() const noexcept {
    return mdbTableManager_;
  }

 private:
  Pelix::Ptr<ZuriMdb::TableManager> mdbTableManager_;
};

class NonMdbUtilBase : public UtilBase {
 public:
  NonMdbUtilBase(UtilKey const& utilKey, Pelix::Ptr<TableManager> const& hwTableManager,
                 Pelix::Ptr<HwWriterStatus> const& hwWriterStatus);
  ~NonMdbUtilBase() override;

  Pelix::Ptr<HwWriterStatus> const& hwWriterStatus() const noexcept { return hwWriterStatus_; }

 private:
  Pelix::Ptr<HwWriterStatus> hwWriterStatus_;
};

// The factory that a table utility registers.
using UtilFactory = std::function<Pelix::Ptr<UtilBase>(
    UtilKey const&, Pelix::Ptr<TableManager> const&, Pelix::Ptr<ZuriMdb::TableManager> const&,
    Pelix::Ptr<HwWriterStatus> const&, Pelix::Ptr<HwBulkDownloadErrConfig> const&)>;

// Holds the registered factories in registration order. Registering a key a second time
// replaces its factory and keeps its place.
class UtilHolderContext {
 public:
  struct Registration {
    UtilKey key;
    UtilFactory factory;
  };

  virtual ~UtilHolderContext() = default;
  // Virtual so that an agent (or a test) can observe registrations as they happen.
  virtual void registerUtil(UtilKey const& key, UtilFactory const& factory);
  std::vector<Registration> const& registrations() const noexcept { return registrations_; }
  UtilFactory const* findFactory(UtilKey const& key) const;

 private:
  std::vector<Registration> registrations_;
};

// The process-wide ordered set of supported FAP revisions, with a modification count that
// changes on every insertion or removal that changes the set, and on reset. Default content:
// 25:A0, 26:A0, 26:B0. Used from the agent's thread only.
class SupportedFapRevList : public Pelix::Node {
 public:
  static Pelix::Ptr<SupportedFapRevList> fapRevisionList();

  // The smallest revision, or nullopt when the list is empty.
  std::optional<Hardware::Zuri::FapRevision> first() const;
  // The smallest revision strictly greater than `after`, or nullopt.
  std::optional<Hardware::Zuri::FapRevision> next(Hardware::Zuri::FapRevision after) const;
  std::uint64_t modificationCount() const noexcept { return modCount_; }

  bool insert(Hardware::Zuri::FapRevision rev);
  bool erase(Hardware::Zuri::FapRevision rev);
  // Back to the default content (for tests).
  void reset();
  std::vector<Hardware::Zuri::FapRevision> revisions() const;

 private:
  SupportedFapRevList();
  std::vector<Hardware::Zuri::FapRevision> revs_;  // ascending
  std::uint64_t modCount_ = 0;
};

}  // namespace ZuriAsicUtils

template <>
struct fmt::formatter<ZuriAsicUtils::UtilKey> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriAsicUtils::UtilKey const& k, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "UtilKey(utilName={}, swTableId={}, fapRevision={})",
                          k.utilName, k.swTableId, k.fapRevision);
  }
};

// Printed as "add 1 delete 0 updateOnDelete 0 fapmaskMismatch 2".
template <>
struct fmt::formatter<ZuriAsicUtils::UtilStats> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriAsicUtils::UtilStats const& s, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "add {} delete {} updateOnDelete {} fapmaskMismatch {}",
                          s.addCnt(), s.deleteCnt(), s.updateOnDelCnt(), s.fapmaskMismatch());
  }
};
