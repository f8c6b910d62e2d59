// ZuriAsicUtils::TableOccupancy: which table utility operation is inside the hardware tables of
// one table manager, on which thread and in which table. The words of the one-thread-at-a-time
// check (see Threading in HwCommonTableBase.h); the hardware tables of a manager share them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace ZuriAsicUtils {

class HwCommonTableBase;

// One operation of one table utility in one hardware table: what the check names. Of static
// storage (the check keeps its address): one per table utility class and operation.
struct TableVisit {
  std::string_view util;    // the table utility's name
  std::string_view memory;  // the hardware table's memory name
  char const* operation;    // the operation, a literal
};

struct TableOccupancy {
  // The visit inside, or nullptr. Stored last as an operation enters, with release: a thread
  // that finds a visit finds the other words of that entry (or of a later one).
  std::atomic<TableVisit const*> visit{nullptr};
  // An id of the thread inside (its thread pointer) and the table it is in.
  std::atomic<std::uintptr_t> thread{0};
  std::atomic<HwCommonTableBase const*> table{nullptr};
};

}  // namespace ZuriAsicUtils
