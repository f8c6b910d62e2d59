// The reference-counted base of every runtime object.
#include "pelix/Node.h"

#include "pelix/RangeException.h"

namespace Pelix {

bool ThreadControl::tsp_ = false;

namespace {
std::atomic<std::int64_t> gLiveNodes{0};
}  // namespace

Node::Node() noexcept {
  gLiveNodes.fetch_add(1, std::memory_order_relaxed);
}

Node::~Node() {
  gLiveNodes.fetch_sub(1, std::memory_order_relaxed);
}

void Node::lastUserGone() {
  delete this;
}

Node const* Node::publisher() const {
  return nullptr;
}

void Node::nodeFlagSet(std::uint32_t flag, bool on) noexcept {
  flags_ = on ? (flags_ | flag) : (flags_ & ~flag);
}

std::int64_t Node::liveCount() noexcept {
  return gLiveNodes.load(std::memory_order_relaxed);
}

RangeException::~RangeException() = default;

void RangeException::throwException(String text) {
  throw RangeException(std::move(text));
}

}  // namespace Pelix
