// What kind of file a name's extension says it is, in the six groups a
// person sorts found files into: the list's "Kind" column and its filter,
// and the folders carved files are recovered into.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace verandol {

enum class TypeGroup : std::uint8_t { Photos, Documents, Archives, Audio, Video, Other };

inline constexpr std::array<TypeGroup, 6> kTypeGroups = {TypeGroup::Photos, TypeGroup::Documents,
                                                         TypeGroup::Archives, TypeGroup::Audio,
                                                         TypeGroup::Video,  TypeGroup::Other};

// "Photos", "Documents", ...: the group's name, also its folder's.
const char* TypeGroupName(TypeGroup group);

// The group whose name this is, ignoring ASCII case; nullopt for none.
std::optional<TypeGroup> TypeGroupNamed(std::string_view name);

// The group of an extension, with or without its dot and in any ASCII
// case (".JPG", "jpg"); Other for one not in the table, or none.
TypeGroup TypeGroupOf(std::string_view extension);

}  // namespace verandol
