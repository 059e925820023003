// The change journal's records ($Extend\$UsnJrnl, its $J stream): each says
// that a file, by its reference, had a name in a folder at a time, and what
// was done to it. Sizes are not in it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ntfs/byte_reader.h"

namespace verandol {

namespace usn_reason {
inline constexpr std::uint32_t kFileCreate = 0x00000100;
inline constexpr std::uint32_t kFileDelete = 0x00000200;
inline constexpr std::uint32_t kRenameOldName = 0x00001000;
inline constexpr std::uint32_t kRenameNewName = 0x00002000;
inline constexpr std::uint32_t kClose = 0x80000000;
}  // namespace usn_reason

struct UsnRecord {
    std::uint64_t file_reference = 0;
    std::uint64_t parent_reference = 0;
    std::int64_t usn = 0;
    std::uint64_t time = 0;  // NTFS time
    std::uint32_t reason = 0;
    std::u16string name;
};

// Hands every record that holds together in `bytes` (a stretch of $J read
// from a 4 KiB boundary) to `take`, in order. Records lie on 8-byte
// boundaries; the zeros between pages and anything that does not hold
// together are stepped over 8 bytes at a time. Version 2 and 3 records are
// read (a version 3 reference wider than 64 bits names no NTFS record and is
// passed over). Returns where a record the stretch cuts short begins, so the
// caller can read on from there; bytes.size() when none is cut.
std::size_t ForEachUsnRecord(ByteSpan bytes, const std::function<void(const UsnRecord&)>& take);

// A file's last name in the journal: the newest record under its reference
// that gives a name it had (not the old name of a rename).
struct JournalName {
    std::uint64_t file_reference = 0;
    std::uint64_t parent_reference = 0;
    std::u16string name;
    std::uint64_t time = 0;
    std::uint32_t reasons = 0;  // every reason the journal gave for it
};

class JournalNames {
public:
    // Past this many files, records of new ones are not kept.
    explicit JournalNames(std::size_t most = 1u << 20) : most_(most) {}
    void Add(const UsnRecord& record);
    // One name per file reference, by reference.
    std::vector<JournalName> Take();

private:
    std::vector<JournalName> names_;  // in the order first met, until Take sorts them
    std::vector<std::int64_t> usns_;  // the usn each name was taken from
    std::unordered_map<std::uint64_t, std::size_t> places_;  // a reference's place in names_
    std::size_t most_;
};

}  // namespace verandol
