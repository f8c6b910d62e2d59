// ZuriAsicUtils::TableOccupancy: which table utility operation is inside the hardware tables of
// one table manager, on which thread and in which table. The words of the one-thread-at-a-time
// check (see Threading in HwCommonTableBase.h); the hardware tables of a manager share them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace ZuriAsicUtils {

class HwCommonTableBase;

struct TableOccupancy {
  // The name of the table utility inside (static storage), or nullptr. Stored last as an
  // operation enters, with release: a thread that finds a name finds the other words of that
  // entry (or of a later one).
  std::atomic<std::string_view const*> util{nullptr};
  // An id of the thread inside (its thread pointer), the table it is in, that table's memory
  // name (static storage) and the operation (a literal).
  std::atomic<std::uintptr_t> thread{0};
  std::atomic<HwCommonTableBase const*> table{nullptr};
  std::atomic<std::string_view const*> memory{nullptr};
  std::atomic<char const*> operation{nullptr};
};

}  // namespace ZuriAsicUtils
