// Pelix::Node: the reference-counted base of every runtime object.
//
// Counts are raised atomically when ThreadControl::tsp_ is set (the agent runs several
// threads) and plainly otherwise. A new node holds no reference; the first Ptr takes it.
#pragma once

#include <atomic>
#include <cstdint>

namespace Pelix {

struct ThreadControl {
  // Thread-safety switch of the runtime: atomic reference counting when set.
  static bool tsp_;
};

class Node {
 public:
  Node() noexcept;
  Node(Node const&) = delete;
  Node& operator=(Node const&) = delete;
  virtual ~Node();

  // Called when the last reference goes; the default deletes the object.
  virtual void lastUserGone();
  virtual Node const* publisher() const;

  void incUse() const noexcept {
    if (ThreadControl::tsp_) {
      std::atomic_ref<std::uint32_t>(refCount_).fetch_add(1, std::memory_order_relaxed);
    } else {
      ++refCount_;
    }
  }
  // Drops one reference; the last one calls lastUserGone().
  [[gnu::always_inline]] void decUseImpl() const {
    std::uint32_t left;
    if (ThreadControl::tsp_) {
      left = std::atomic_ref<std::uint32_t>(refCount_).fetch_sub(1, std::memory_order_acq_rel) - 1;
    } else {
      left = --refCount_;
    }
    if (left == 0) const_cast<Node*>(this)->lastUserGone();
  }

  std::uint32_t refCount() const noexcept {
    return std::atomic_ref<std::uint32_t>(refCount_).load(std::memory_order_relaxed);
  }
  void nodeFlagSet(std::uint32_t flag, bool on) noexcept;
  std::uint32_t nodeFlags() const noexcept { return flags_; }

  // Nodes alive in the process: tests use it to prove that nothing leaked.
  static std::int64_t liveCount() noexcept;

 private:
  mutable std::uint32_t refCount_ = 0;
  std::uint32_t flags_ = 0;
};

}  // namespace Pelix
