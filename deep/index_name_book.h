// The names index blocks hold, kept through a pass over the volume for the
// records that turn out to have lost their own.
//
// Record numbers are a volume's own: a disk holds several volumes, each
// with its record 40. Every name is kept with the volume it was found in
// (the byte where that volume begins on the scanned device), and a record
// takes names only from the volume it was found in.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "deep/index_names.h"

namespace verandol {

class IndexNameBook {
public:
    // Past this many bytes of names, entries from slack are no longer kept,
    // and past twice as many none are: a disk of millions of folders must
    // not hold them all.
    explicit IndexNameBook(std::size_t budget_bytes = 24u << 20) : budget_(budget_bytes) {}

    // For one file reference, a live entry wins over one from slack, and
    // the first of either kind over those met later.
    void Add(std::int64_t volume, const IndexedNameView& name);
    void Add(std::int64_t volume, const IndexedName& name) {
        Add(volume, IndexedNameView{name.file_reference, name.parent_reference, name.name, name.from_slack, name.figures});
    }

    // The name of the record `number` of `volume` whose header carries
    // `sequence`: an entry made while it was in use carries that sequence,
    // or the one before it when the record has been freed since.
    std::optional<IndexedName> Find(std::int64_t volume, std::uint32_t number, std::uint16_t sequence);

private:
    // Names are kept in the order met, their units in blocks of fixed size:
    // no allocation for each on a pass that meets hundreds of thousands,
    // and no copy of all of them each time the store grows. Sorted by
    // reference the first time one is looked up.
    struct Kept {
        std::int64_t volume = 0;
        std::uint64_t file_reference = 0;
        std::uint64_t parent_reference = 0;
        std::uint32_t first_unit = 0;
        std::uint8_t units = 0;  // NTFS names hold at most 255
        bool from_slack = false;
    };
    const Kept* Lookup(std::int64_t volume, std::uint64_t reference);

    static constexpr std::size_t kBlockUnits = std::size_t{1} << 18;
    std::deque<Kept> kept_;
    std::vector<std::u16string> blocks_;  // each holds at most kBlockUnits units
    bool sorted_ = true;
    std::size_t budget_;
    std::size_t used_ = 0;
};

}  // namespace verandol
