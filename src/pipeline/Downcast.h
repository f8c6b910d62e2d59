// Checked downcasts of the agent's polymorphic objects. Exact-class checks use the type id: for a
// final target class (log entry wrappers) that is what dynamic_cast answers, at a fraction of its
// cost; for any other class (hardware tables) it is the fast path before dynamic_cast.
#pragma once

#include <atomic>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include "pelix/Ptr.h"

namespace ZuriAsicUtils::detail {

// The type id object last found to name exactly T. Each library may hold its own type id object
// of a class, and telling two of them equal takes a compare of their names: after the first
// match the same object is recognised by its address.
template <class T>
inline std::atomic<std::type_info const*> matchedTypeId{nullptr};

template <class T>
[[gnu::noinline]] bool isExactlyByName(std::type_info const& type) noexcept {
  if (type != typeid(T)) return false;
  matchedTypeId<T>.store(&type, std::memory_order_relaxed);
  return true;
}

template <class T, class Base>
[[gnu::always_inline]] inline bool isExactly(Base const& object) noexcept {
  std::type_info const& type = typeid(object);
  return &type == matchedTypeId<T>.load(std::memory_order_relaxed) || isExactlyByName<T>(type);
}

template <class T, class Base>
[[gnu::always_inline]] inline T* downcast(Base* p) noexcept {
  using Class = std::remove_const_t<T>;
  if (p == nullptr) return nullptr;
  if constexpr (std::is_final_v<Class>) {
    return isExactly<Class>(*p) ? static_cast<T*>(p) : nullptr;
  } else {
    // An object of exactly the class needs no search of the class tree.
    if (isExactly<Class>(*p)) return static_cast<T*>(p);
    return dynamic_cast<T*>(p);
  }
}

// The fatal assertion of an entry of another table (pipeline/Downcast.cc), out of line.
[[noreturn, gnu::cold]] void failNotOfTable(std::string_view className, char const* operation,
                                            char const* file, int line);

// The table's wrapper of a log entry; an entry of another table is a precondition violation of
// the agent ("logPtr is NULL", the host's text), reported with the full name of the operation
// that checked (CLASS::OPERATION). The caller's place comes from the builtins: clang 14, which
// builds the sanitizer and fuzzing runs, has no std::source_location with this library.
template <class Wrapper, class Base>
[[gnu::always_inline]] inline Wrapper const& requireWrapper(Pelix::Ptr<Base> const& entry,
                                                            std::string_view className,
                                                            char const* operation,
                                                            char const* file = __builtin_FILE(),
                                                            int line = __builtin_LINE()) {
  Wrapper const* wrapper = downcast<Wrapper const>(entry.get());
  if (wrapper == nullptr) [[unlikely]]
    failNotOfTable(className, operation, file, line);
  return *wrapper;
}

}  // namespace ZuriAsicUtils::detail
