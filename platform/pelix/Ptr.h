// Pelix::Ptr: counted reference to a Pelix::Node.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "pelix/Node.h"

namespace Pelix {

template <class U, class T>
concept PointerConvertibleTo = std::is_convertible_v<U*, T*>;

template <class T>
class Ptr {
 public:
  using element_type = T;

  Ptr() noexcept = default;
  Ptr(std::nullptr_t) noexcept {}
  Ptr(T* p) noexcept : p_(p) { acquire(); }
  Ptr(Ptr const& o) noexcept : p_(o.p_) { acquire(); }
  Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <PointerConvertibleTo<T> U>
  Ptr(Ptr<U> const& o) noexcept : p_(o.get()) {
    acquire();
  }
  template <PointerConvertibleTo<T> U>
  Ptr(Ptr<U>&& o) noexcept : p_(o.release()) {}
  ~Ptr() { reset(); }

  Ptr& operator=(Ptr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->decUseImpl();
  }
  // Gives up the reference without dropping it.
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  template <class U>
  bool operator==(Ptr<U> const& o) const noexcept {
    return p_ == o.get();
  }
  bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }

 private:
  void acquire() const noexcept {
    if (p_) p_->incUse();
  }
  T* p_ = nullptr;
};

// Creates a node with new and hands it out holding its creating reference.
template <class T, class... Args>
Ptr<T> make(Args&&... args) {
  return Ptr<T>(new T(std::forward<Args>(args)...));
}

template <class T, class U>
Ptr<T> dynamic_pointer_cast(Ptr<U> const& p) noexcept {
  return Ptr<T>(dynamic_cast<T*>(p.get()));
}

template <class T, class U>
Ptr<T> static_pointer_cast(Ptr<U> const& p) noexcept {
  return Ptr<T>(static_cast<T*>(p.get()));
}

}  // namespace Pelix
