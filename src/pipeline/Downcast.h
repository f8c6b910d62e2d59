// Checked downcasts of the agent's polymorphic objects. Exact-class checks use the type id: for a
// final target class (log entry wrappers) that is what dynamic_cast answers, at a fraction of its
// cost; for any other class (hardware tables) it is the fast path before dynamic_cast.
#pragma once

#include <string_view>
#include <type_traits>
#include <typeinfo>

#include <fmt/format.h>

#include "kiv/Sassert.h"
#include "pelix/Ptr.h"

namespace ZuriAsicUtils::detail {

template <class T, class Base>
bool isExactly(Base const& object) noexcept {
  return typeid(object) == typeid(T);
}

template <class T, class Base>
T* downcast(Base* p) noexcept {
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

// The table's wrapper of a log entry; an entry of another table is a precondition violation of
// the agent ("logPtr is NULL", the host's text), reported with the full name of the operation
// that checked (CLASS::OPERATION). The caller's place comes from the builtins: clang 14, which
// builds the sanitizer and fuzzing runs, has no std::source_location with this library.
template <class Wrapper, class Base>
Wrapper const& requireWrapper(Pelix::Ptr<Base> const& entry, std::string_view className,
                              char const* operation, char const* file = __builtin_FILE(),
                              int line = __builtin_LINE()) {
  Wrapper const* wrapper = downcast<Wrapper const>(entry.get());
  if (wrapper == nullptr) [[unlikely]] {
    Kiv::SassertHelper::fail("\"logPtr\" == nullptr", "logPtr is NULL",
                             fmt::format("{}::{}", className, operation).c_str(), file, line);
  }
  return *wrapper;
}

}  // namespace ZuriAsicUtils::detail
