// Which copy of a record a deep scan lists when it meets the same file's
// record in more than one place: an MFT copy inside an image file kept on
// the volume, an old MFT left behind when the MFT moved, a record slot
// copied into free space.
//
// Two records are taken for one file's record when they lie in one volume
// and agree on the record number, the creation time in $STANDARD_INFORMATION (100 ns steps,
// set when the file is made and kept through renames and writes), and the
// name of the record's own $FILE_NAME (DOS-only names passed over; none
// for a record that lost its names). A new file in a reused slot has a
// creation time of its own, and a file made by copying times over (a
// restore) still differs by name or by record; so two different files are
// never taken for one, while a renamed file's older copies stay listed
// beside it, which errs on the side of showing too much.
//
// Of the copies, the newest is kept: the higher sequence number (it grows
// each time the slot is freed), then the higher $LogFile sequence number
// (the last change the record saw). Equal copies keep the first one met.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "deep/found_record.h"
#include "ntfs/byte_reader.h"

namespace verandol {

struct RecordIdentity {
    std::int64_t volume = 0;  // where the volume the record was found in begins: numbers are a volume's own
    std::uint32_t number = 0;
    std::uint64_t created = 0;
    std::uint64_t name_hash = 0;  // 64-bit FNV-1a of the name's UTF-16 units; 0 without a name
    bool operator==(const RecordIdentity&) const = default;
};

// Nullopt when the record (fixups applied) has no readable creation time:
// such a record is listed as it is, never merged. `volume` as in RecordIdentity.
std::optional<RecordIdentity> IdentityOf(std::int64_t volume, const FoundRecordHeader& header, ByteSpan record);

class NewestCopies {
public:
    struct Verdict {
        bool keep = true;  // false: a copy met before is as new or newer
        // The row of the older copy this one replaces, to be withdrawn.
        std::optional<std::size_t> withdrawn;
    };

    // Offers the copy that would be row `row` (the rows' places past
    // UINT32_MAX are listed, but never withdrawn).
    Verdict Offer(const RecordIdentity& identity, const FoundRecordHeader& header, std::size_t row);

    std::size_t Count() const { return count_; }
    // Room for `copies` without growing as they come.
    void Reserve(std::size_t copies);

private:
    // One open-addressed table, probed in a line: one cache miss a look-up
    // and no allocation a copy, where a node-based map costs both. About
    // 80 bytes a copy at the load it keeps.
    struct Slot {
        RecordIdentity identity;
        std::uint64_t log_sequence = 0;
        std::uint32_t row = 0;  // UINT32_MAX: not to be withdrawn
        std::uint16_t sequence = 0;
        bool used = false;
    };
    static std::size_t HashOf(const RecordIdentity& id);
    Slot& SlotFor(const RecordIdentity& identity);
    void Grow(std::size_t slots);

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace verandol
