// The object runtime's reflection: type records, their members and the class glue.
#include "pelix/Reflection.h"

#include <mutex>
#include <vector>

namespace Pelix {
namespace {

struct Modules {
  std::mutex mutex;
  std::vector<ModuleInspectData const*> loaded;  // in load order
};

// Never destroyed: modules announce themselves during static initialisation of libraries
// whose order against ours is not known.
Modules& modules() {
  static auto* const m = new Modules;
  return *m;
}

bool kindOffers(MemberKind kind, Access access) noexcept {
  // Attributes are read and written; operations and hooks are called.
  return (kind == MemberKind::attribute) == (access != Access::call);
}

}  // namespace

MemberRecord const* TypeRecord::findMember(std::string_view memberName) const noexcept {
  for (auto const& m : members) {
    if (m.name == memberName) return &m;
  }
  return nullptr;
}

void ModuleInspectData::loaded() {
  auto& m = modules();
  std::lock_guard lock(m.mutex);
  if (loaded_) return;
  loaded_ = true;
  m.loaded.push_back(this);
}

TypeRecord const* ModuleInspectData::findType(std::string_view typeName) {
  auto& m = modules();
  std::lock_guard lock(m.mutex);
  for (ModuleInspectData const* module : m.loaded) {
    for (TypeRecord const* type : module->types()) {
      if (type != nullptr && type->name == typeName) return type;
    }
  }
  return nullptr;
}

int inspect(Node& object, TypeRecord const& type, std::string_view member, Access access,
            std::span<std::any const> args, std::any* result) {
  MemberRecord const* record = type.findMember(member);
  if (record == nullptr) return kInspectNoMember;
  if (!kindOffers(record->kind, access) || type.inspect == nullptr) return kInspectNoAccess;
  return type.inspect(object, member, access, args, result);
}

}  // namespace Pelix
