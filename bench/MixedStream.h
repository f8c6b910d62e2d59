// The mixed stream of MixedBench.cc, also counted by Instructions.cc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bench.h"

namespace eedb::bench {

class MixedStream {
 public:
  static constexpr unsigned kFaps = 4;

  // Builds the stream over `keys` keys and stores every one of them.
  explicit MixedStream(std::uint32_t keys);

  // One pass over the stream: with `churn` the updates and deletes, without it the entries as
  // first stored. Returns the processSwEntry calls made.
  std::size_t pass(bool churn);

  std::size_t size() const noexcept { return entries_.size(); }
  std::size_t tables() const noexcept { return utilsByTable_.size(); }

 private:
  struct Entry {
    std::size_t utils;  // in utilsByTable_
    Wrapper full, churn;
  };
  Managers managers_;
  std::vector<Ptr<ZuriAsicUtils::UtilBase>> utils_;
  std::vector<std::vector<std::size_t>> utilsByTable_;
  std::vector<Entry> entries_;
};

}  // namespace eedb::bench
