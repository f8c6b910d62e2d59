// A fixture for the tests of one MDB table utility through the plug-in: the utility with FAP 0
// in its mask, its hardware table, whole entries read back as field maps, and the check that a
// failure leaves the shadow, the counters and the enqueue statistics as they were.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"

namespace eedb::test {

// Every field of the entry's format by name; a wide field holds its low 64 bits.
using Fields = std::map<std::string, std::uint64_t>;

inline Fields fieldsOf(chip26_a0::EedbHwMdb::Entry const& entry) {
  Fields fields;
  entry.forEachField([&](auto const& spec, auto const& value) {
    fields.emplace(std::string(spec.name), value.value());
  });
  return fields;
}

// The format's class name, "no format" or "nothing".
inline std::string formatName(chip26_a0::EedbHwMdb::Entry const* entry) {
  if (entry == nullptr) return "nothing";
  return entry->format() ? std::string(entry->format()->name) : "no format";
}

class MdbTableFixture : public ::testing::Test {
 protected:
  explicit MdbTableFixture(std::string_view utilName) : utilName_(utilName) {}

  void SetUp() override {
    util_ = create(utilName_, m_);
    addFap(*util_, 0);
    table_ = mdbTable(*util_);
    ASSERT_NE(table_, nullptr);
  }

  chip26_a0::EedbHwMdb::Entry const* stored(std::uint32_t key, unsigned fapId = 0,
                                            unsigned instanceId = 0) const {
    return table_->findEntry(
        ZuriAsicUtils::HwShadowKey(SchanAccel::FapId(fapId),
                                   static_cast<ZuriAsicUtils::InstanceId>(instanceId)),
        chip26_a0::EedbHwMdb::EntryKey(key));
  }

  // Processes the entry as an add and returns what the shadow then holds under the key, after
  // checking the one SCHAN command (it decodes back to that entry) and that translation alone
  // gives the same entry.
  chip26_a0::EedbHwMdb::Entry const* add(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry,
                                         std::uint32_t key) {
    EXPECT_TRUE(util_->utilApplicable(entry));
    auto const cmds = util_->processSwEntry(entry);
    auto const* stored = this->stored(key);
    if (stored == nullptr) {
      ADD_FAILURE() << "nothing stored under " << key;
      return nullptr;
    }
    EXPECT_EQ(translate(entry), *stored);
    EXPECT_EQ(cmds.size(), 1u);
    if (cmds.size() == 1) {
      EXPECT_EQ(cmds[0].sizeBits, stored->entrySizeBits());
      EXPECT_EQ(chip26_a0::EedbHwMdb::decode(cmds[0]), *stored);
    }
    return stored;
  }

  // An entry of no view: refused with the table's trace; processing writes nothing but still
  // counts the enqueue; translated, it is the key-only entry.
  void expectNoView(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry, std::uint32_t key,
                    std::string_view shortName) {
    {
      TraceCapture const traces(fmt::format("{}/3", shortName));
      EXPECT_FALSE(util_->utilApplicable(entry));
      ASSERT_EQ(traces.lines().size(), 1u);
      EXPECT_EQ(traces.lines()[0].message, fmt::format(" {} util is not Applicable", shortName));
    }
    auto const before = snapshot(*util_);
    EXPECT_TRUE(util_->processSwEntry(entry).empty());
    auto after = snapshot(*util_);
    EXPECT_EQ(after.enqueueTotal, before.enqueueTotal + 1);
    after.enqueueTotal = before.enqueueTotal;
    after.enqueueRecords = before.enqueueRecords;
    EXPECT_TRUE(after == before);
    EXPECT_EQ(translate(entry), chip26_a0::EedbHwMdb::Entry(chip26_a0::EedbHwMdb::EntryKey(key)));
  }

  chip26_a0::EedbHwMdb::Entry translate(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry) {
    return call<chip26_a0::EedbHwMdb::Entry>(*util_, "translateToHwFormat", {entry});
  }

  // Runs fn, which must raise E, and returns its text; the shadow, the counters and the
  // enqueue statistics stay exactly as they were.
  template <class E>
  std::string raisesUntouched(std::function<void()> const& fn) {
    return test::raisesUntouched<E>({util_.get()}, fn);
  }

  // Every way a log entry reaches translation from the agent must fail with the same text and
  // leave everything untouched: processing and shadow writing, as an add and as a delete.
  template <class Wrapper, class LogEntry>
  void expectRefused(LogEntry const& logEntry, std::string const& expected) {
    for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
      SCOPED_TRACE(flags == 0 ? "add" : "delete");
      auto const entry = wrap<Wrapper>(logEntry, 0, flags);
      EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>([&] { util_->processSwEntry(entry); }),
                expected);
      EXPECT_EQ(
          raisesUntouched<Asic::OrderedTableException>([&] { util_->writeSwEntryToShadow(entry); }),
          expected);
    }
  }

  std::string utilName_;
  Managers m_;
  Pelix::Ptr<UtilBase> util_;
  Pelix::Ptr<chip26_a0::EedbHwMdb> table_;
};

}  // namespace eedb::test
