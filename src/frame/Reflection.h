// Reflection glue of a table utility class: its type record (eleven members, in the order the
// agent's inspection facilities expect), the accesses it serves, and construction from an
// array of constructor arguments.
#pragma once

#include <any>
#include <span>
#include <string_view>
#include <typeinfo>

#include "frame/TableUtil.h"
#include "pelix/Reflection.h"

namespace Pelix {

template <class Util>
struct HideMe {
  using HwTable = typename Util::HwTable;
  using EntryKey = typename Util::EntryKey;
  using LogEntry = typename Util::LogEntry;
  using Wrapper = typename Util::WrapperType;
  using ThirdArg = typename Util::ThirdArg;

  static constexpr std::string_view kEntry[] = {"entry"};
  static constexpr std::string_view kReadShadow[] = {"fapId", "instanceId", "hwKey"};
  static constexpr std::string_view kMapToHwKey[] = {"logEntry", "unitId"};
  static constexpr std::string_view kFactory[] = {"utilKey", "hwTableManager", "mdbTableManager",
                                                  "hwWriterStatus", "hwBulkDownloadErrConfig"};
  static constexpr MemberRecord kMembers[] = {
      {"tableName", MemberKind::operation, {}},
      {"hwTable", MemberKind::attribute, {}},
      {"translateToHwFormat_", MemberKind::operation, {}},
      {"translateToHwFormat", MemberKind::operation, kEntry},
      {"readShadowEntry", MemberKind::operation, kReadShadow},
      {"revertHwEntry", MemberKind::operation, kEntry},
      {"mapToHwKey_", MemberKind::operation, {}},
      {"mapToHwKey", MemberKind::operation, kMapToHwKey},
      {"factory", MemberKind::operation, kFactory},
      {"handleInitialized", MemberKind::hook, {}},
      {"onDelete", MemberKind::hook, {}},
  };

  // The n-th argument; a missing one is a bad argument like a mistyped one.
  static std::any const& arg(std::span<std::any const> args, std::size_t n) {
    if (n >= args.size()) throw std::bad_any_cast();
    return args[n];
  }

  // The object as this type's table utility. Its own type is the usual case, told by comparing
  // the type records' addresses, as both come from this library: the replay reads every shadow
  // entry back through here, and a dynamic_cast across the library boundary compares type
  // names. Any other object takes the checked cast (std::bad_cast when it is not one).
  static Util& utilOf(Node& object) {
    if (typeid(object) == typeid(Util)) return static_cast<Util&>(object);
    return dynamic_cast<Util&>(object);
  }

  // Answers 0 when done, 1 when the member does not offer the access, 2 for an unknown
  // member. Arguments of the wrong type raise std::bad_any_cast.
  static int inspectOperation(Node& object, std::string_view member, Access access,
                              std::span<std::any const> args, std::any* result) {
    auto& util = utilOf(object);
    auto const call = [&](auto&& fn) {
      if (access != Access::call) return int{kInspectNoAccess};
      if (result != nullptr) {
        *result = fn();
      } else {
        fn();
      }
      return int{kInspectDone};
    };
    auto const entryArg = [&] {
      return Ptr<Wrapper const>(ZuriAsicUtils::detail::downcast<Wrapper const>(
          std::any_cast<Ptr<Asic::LogEntryWrapperBase>>(arg(args, 0)).get()));
    };
    // First the member that a host asks for with every entry it reads back.
    if (member == "mapToHwKey") {
      return call([&] {
        return util.mapToHwKey(std::any_cast<LogEntry const&>(arg(args, 0)),
                               std::any_cast<Asic::UnitId>(arg(args, 1)));
      });
    }
    if (member == "tableName") return call([] { return Util::tableName(); });
    if (member == "hwTable") {
      if (access == Access::read) {
        if (result != nullptr) *result = util.hwTable();
        return kInspectDone;
      }
      if (access == Access::write) {
        util.hwTableBaseIs(std::any_cast<Ptr<ZuriAsicUtils::HwCommonTableBase>>(arg(args, 0)));
        return kInspectDone;
      }
      return kInspectNoAccess;
    }
    if (member == "translateToHwFormat_" || member == "mapToHwKey_") return kInspectNoAccess;
    if (member == "translateToHwFormat") {
      return call([&] { return util.translateToHwFormat(entryArg()); });
    }
    if (member == "revertHwEntry") return call([&] { return util.revertHwEntry(entryArg()); });
    if (member == "readShadowEntry") {
      return call([&] {
        return util.readShadowEntry(std::any_cast<SchanAccel::FapId>(arg(args, 0)),
                                    std::any_cast<ZuriAsicUtils::InstanceId>(arg(args, 1)),
                                    std::any_cast<EntryKey>(arg(args, 2)));
      });
    }
    if (member == "factory") {
      return call([&] {
        return Util::factory(
            std::any_cast<ZuriAsicUtils::UtilKey>(arg(args, 0)),
            std::any_cast<Ptr<ZuriAsicUtils::TableManager>>(arg(args, 1)),
            std::any_cast<Ptr<ZuriMdb::TableManager>>(arg(args, 2)),
            std::any_cast<Ptr<ZuriAsicUtils::HwWriterStatus>>(arg(args, 3)),
            std::any_cast<Ptr<ZuriAsicUtils::HwBulkDownloadErrConfig>>(arg(args, 4)));
      });
    }
    if (member == "handleInitialized") {
      if (access != Access::call) return kInspectNoAccess;
      util.handleInitialized();
      return kInspectDone;
    }
    if (member == "onDelete") {
      if (access != Access::call) return kInspectNoAccess;
      util.onDelete();
      return kInspectDone;
    }
    return kInspectNoMember;
  }

  // Builds an instance from the family's three constructor arguments; an empty pointer when
  // they do not fit.
  static Ptr<Node> genericIfConstructFromCtorArgs(std::span<std::any const> args) {
    if (args.size() != 3) return {};
    auto const* key = std::any_cast<ZuriAsicUtils::UtilKey>(&args[0]);
    auto const* manager = std::any_cast<Ptr<ZuriAsicUtils::TableManager>>(&args[1]);
    auto const* third = std::any_cast<ThirdArg>(&args[2]);
    if (key == nullptr || manager == nullptr || third == nullptr) return {};
    return Ptr<Node>(Util::create(*key, *manager, *third));
  }

  static constexpr TypeRecord kType{Util::kName, kMembers, &inspectOperation,
                                    &genericIfConstructFromCtorArgs};
  static constexpr TypeRecord const* kTypes[] = {&kType};
  static inline ModuleInspectData module{Util::kName, kTypes};
};

}  // namespace Pelix

namespace eedb {

template <class Derived, class Family, class Wrapper, class Constants>
Pelix::TypeRecord const* TableUtil<Derived, Family, Wrapper, Constants>::typeData() const {
  return Pelix::HideMe<Derived>::module.types().front();
}

}  // namespace eedb
