// The object runtime's reflection: a type record per class lists its members (attributes,
// operations, hooks) with their parameter names; the class's glue serves reads, writes and
// calls on them, and builds instances from an array of constructor arguments. Values cross the
// reflection boundary as std::any.
#pragma once

#include <any>
#include <cstddef>
#include <span>
#include <string_view>

#include "pelix/Node.h"
#include "pelix/Ptr.h"

namespace Pelix {

enum class MemberKind : unsigned char { attribute, operation, hook };
enum class Access : unsigned char { read, write, call };

// Answers of an inspect access.
enum InspectResult : int {
  kInspectDone = 0,      // the access was served
  kInspectNoAccess = 1,  // the member does not offer that kind of access
  kInspectNoMember = 2,  // no such member
};

struct MemberRecord {
  std::string_view name;
  MemberKind kind;
  std::span<std::string_view const> params;
};

struct TypeRecord {
  std::string_view name;
  std::span<MemberRecord const> members;
  // Serves one access on the named member of `object` (an instance of this type): a read puts the
  // value in *result; a write takes args[0]; a call takes args and may set *result.
  int (*inspect)(Node& object, std::string_view member, Access access,
                 std::span<std::any const> args, std::any* result);
  // Builds an instance from constructor arguments; an empty pointer when the arguments do not
  // fit (count or types).
  Ptr<Node> (*construct)(std::span<std::any const> args);

  MemberRecord const* findMember(std::string_view memberName) const noexcept;
};

// A library's reflection module: the type records it defines. A module is announced to the
// runtime with loaded() during the library's static initialisation.
class ModuleInspectData {
 public:
  constexpr ModuleInspectData(std::string_view name,
                              std::span<TypeRecord const* const> types) noexcept
      : name_(name), types_(types) {}

  void loaded();
  bool isLoaded() const noexcept { return loaded_; }
  std::string_view name() const noexcept { return name_; }
  std::span<TypeRecord const* const> types() const noexcept { return types_; }

  // The record of a loaded type by name, or nullptr.
  static TypeRecord const* findType(std::string_view typeName);

 private:
  std::string_view name_;
  std::span<TypeRecord const* const> types_;
  bool loaded_ = false;
};

// Serves one access on a member of an object through its type record.
int inspect(Node& object, TypeRecord const& type, std::string_view member, Access access,
            std::span<std::any const> args, std::any* result);

}  // namespace Pelix
