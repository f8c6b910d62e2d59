// Support of the tests of the three tables whose hardware key is the low 20 bits of the software
// key (ARP, sub-interface out-AC, TAP aggregation): log entries written with designated
// initialisers, a shadow entry as a map of its fields, and a fixture that proves a failure leaves
// the table as it was.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "PluginTestSupport.h"
#include "asic/OrderedTableException.h"
#include "plexo/Addresses.h"

namespace eedb::test {

using chip26_a0::EedbHwMdb;

inline constexpr std::string_view kArp = "chip26_a0::ZuriErrmArpUtil::EedbArpTableUtil";
inline constexpr std::string_view kSubIntfOutAc =
    "chip26_a0::ZuriErrmUtil::EedbSubIntfOutAcTableUtil";
inline constexpr std::string_view kTapAgg = "chip26_a0::ZuriErrmUtil::EedbTapAggTableUtil";

inline constexpr char const* kFapRange =
    "SchanAccel::FapId::value < SchanAccel::FapId::min or > SchanAccel::FapId::null not allowed";

inline Plexo::EthAddr mac(std::string_view text) {
  return *Plexo::EthAddr::parse(text);
}

// ---- log entries ----

struct Arp {
  std::uint32_t key = 0x100;
  std::uint8_t viewType = 1;
  std::uint32_t statObjectId = 0;
  std::uint16_t vlanEditVid1 = 0, fodo = 0;
  Plexo::EthAddr l2Mac{};
  std::uint8_t actionProfile = 0, egressLastLayer = 0, statObjectCmd = 0, vlanEditProfile = 0,
               mtuProfile = 0;

  ZuriErrmArp::EedbArpTableLogEntry entry() const {
    ZuriErrmArp::EedbArpTableLogEntry e;
    e.keyIs(ZuriErrmArp::EedbArpTableEntryKey(key));
    e.viewTypeIs(viewType);
    e.statObjectIdIs(statObjectId);
    e.vlanEditVid1Is(vlanEditVid1);
    e.fodoIs(fodo);
    e.l2MacIs(l2Mac);
    e.actionProfileIs(actionProfile);
    e.egressLastLayerIs(egressLastLayer);
    e.statObjectCmdIs(statObjectCmd);
    e.vlanEditProfileIs(vlanEditProfile);
    e.mtuProfileIs(mtuProfile);
    return e;
  }
  Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(std::uint16_t unitId = 0,
                                                std::uint8_t flags = 0) const {
    return wrap<ZuriErrmArp::EedbArpTableLogEntryWrapper>(entry(), unitId, flags);
  }
};

struct SubIntf {
  std::uint32_t key = 0x100;
  std::uint8_t viewType = 1;
  std::uint16_t vlanEditVid1 = 0, vlanEditVid2 = 0;
  std::uint8_t egressLastLayer = 0, vlanEditProfile = 0;

  ZuriErrm::EedbSubIntfOutAcTableLogEntry entry() const {
    ZuriErrm::EedbSubIntfOutAcTableLogEntry e;
    e.keyIs(ZuriErrm::EedbSubIntfOutAcTableEntryKey(key));
    e.viewTypeIs(viewType);
    e.vlanEditVid1Is(vlanEditVid1);
    e.vlanEditVid2Is(vlanEditVid2);
    e.egressLastLayerIs(egressLastLayer);
    e.vlanEditProfileIs(vlanEditProfile);
    return e;
  }
  Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(std::uint16_t unitId = 0,
                                                std::uint8_t flags = 0) const {
    return wrap<ZuriErrm::EedbSubIntfOutAcTableLogEntryWrapper>(entry(), unitId, flags);
  }
};

struct TapAgg {
  std::uint32_t key = 0x100;
  std::uint8_t viewType = 1;
  std::uint32_t nextOutlifPointer = 0;
  std::uint16_t vlanEditVid1 = 0, vlanEditVid2 = 0;
  Plexo::EthAddr destMac{}, srcMac{};
  std::uint8_t egressLastLayer = 0, vlanEditProfile = 0;

  ZuriErrm::EedbTapAggTableLogEntry entry() const {
    ZuriErrm::EedbTapAggTableLogEntry e;
    e.keyIs(ZuriErrm::EedbTapAggTableEntryKey(key));
    e.viewTypeIs(viewType);
    e.nextOutlifPointerIs(nextOutlifPointer);
    e.vlanEditVid1Is(vlanEditVid1);
    e.vlanEditVid2Is(vlanEditVid2);
    e.destMacIs(destMac);
    e.srcMacIs(srcMac);
    e.egressLastLayerIs(egressLastLayer);
    e.vlanEditProfileIs(vlanEditProfile);
    return e;
  }
  Pelix::Ptr<Asic::LogEntryWrapperBase> wrapped(std::uint16_t unitId = 0,
                                                std::uint8_t flags = 0) const {
    return wrap<ZuriErrm::EedbTapAggTableLogEntryWrapper>(entry(), unitId, flags);
  }
};

// ---- shadow entries ----

using Fields = std::map<std::string, std::uint64_t, std::less<>>;

// Every field of the entry's format, by name.
inline Fields fieldsOf(EedbHwMdb::Entry const& entry) {
  Fields fields;
  entry.forEachField([&](auto const& spec, auto const& value) {
    fields.emplace(std::string(spec.name), value.value());
  });
  return fields;
}

// An entry of the format on hwKey: the format's defaults, then the given fields.
template <class Format>
EedbHwMdb::Entry entryOf(std::uint32_t hwKey, Fields const& fields) {
  Format entry(EedbHwMdb::EntryKey{hwKey});
  entry.handleInitialized();
  for (auto const& [name, value] : fields) entry.fieldIs(*Format::kSpec.field(name), value);
  return entry;
}

inline std::string_view formatName(EedbHwMdb::Entry const& entry) {
  return entry.format() ? entry.format()->name : std::string_view("none");
}

// ---- fixture ----

// One table utility of the given name, programming FAPs 0 and 3.
class KeyHookTable : public ::testing::Test {
 protected:
  explicit KeyHookTable(std::string_view name) : name_(name) {}

  void SetUp() override {
    EEDB_REQUIRE_ALL_TABLES();
    util_ = create(name_, m_);
    addFap(*util_, 0);
    addFap(*util_, 3);
    table_ = mdbTable(*util_);
    ASSERT_NE(table_, nullptr);
  }

  EedbHwMdb::Entry const* stored(std::uint32_t hwKey, unsigned fapId = 0,
                                 unsigned instanceId = 0) const {
    return table_->findEntry(
        ZuriAsicUtils::HwShadowKey(SchanAccel::FapId(fapId),
                                   static_cast<ZuriAsicUtils::InstanceId>(instanceId)),
        EedbHwMdb::EntryKey(hwKey));
  }

  // Offers an add to the table utility and returns what it stored under hwKey for FAP 0,
  // instance 0. The one SCHAN command decodes back into the stored entry.
  EedbHwMdb::Entry added(Pelix::Ptr<Asic::LogEntryWrapperBase> const& entry, std::uint32_t hwKey) {
    auto const cmds = util_->processSwEntry(entry);
    auto const* shadow = stored(hwKey);
    if (shadow == nullptr) {
      ADD_FAILURE() << "nothing stored under " << hwKey;
      return EedbHwMdb::Entry();
    }
    EXPECT_EQ(cmds.size(), 1u);
    if (!cmds.empty()) {
      EXPECT_EQ(cmds[0].index, hwKey);
      EXPECT_EQ(cmds[0].sizeBits, shadow->entrySizeBits());
      EXPECT_EQ(EedbHwMdb::decode(cmds[0]), *shadow);
    }
    return *shadow;
  }

  // Runs fn, which must raise E; the shadow, the counters and the enqueue statistics stay
  // exactly as they were. Returns the exception's text.
  template <class E>
  std::string raisesUntouched(std::function<void()> const& fn) {
    return test::raisesUntouched<E>({util_.get()}, fn);
  }

  // The failure of an entry reaches the agent from processing and from shadow writing, for an
  // add and for a delete (which translates for the entry's size), with the same text.
  void failsEverywhereWith(
      std::function<Pelix::Ptr<Asic::LogEntryWrapperBase>(std::uint8_t)> const& entryWithFlags,
      std::string const& expected) {
    for (std::uint8_t flags : {std::uint8_t{0}, kDelete}) {
      SCOPED_TRACE(flags == 0 ? "add" : "delete");
      auto const entry = entryWithFlags(flags);
      EXPECT_EQ(raisesUntouched<Asic::OrderedTableException>([&] { util_->processSwEntry(entry); }),
                expected);
      EXPECT_EQ(
          raisesUntouched<Asic::OrderedTableException>([&] { util_->writeSwEntryToShadow(entry); }),
          expected);
    }
  }

  std::string_view name_;
  Managers m_;
  Pelix::Ptr<UtilBase> util_;
  Pelix::Ptr<EedbHwMdb> table_;
};

}  // namespace eedb::test
