// The names index blocks hold, kept through a pass over the volume for the
// records that turn out to have lost their own.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "deep/index_names.h"

namespace verandol {

class IndexNameBook {
public:
    // Past this many bytes of names, entries from slack are no longer kept,
    // and past twice as many none are: a disk of millions of folders must
    // not hold them all.
    explicit IndexNameBook(std::size_t budget_bytes = 24u << 20) : budget_(budget_bytes) {}

    // A live entry wins over one from slack for the same file reference.
    void Add(IndexedName name);

    // The name of the record `number` whose header carries `sequence`: an
    // entry made while it was in use carries that sequence, or the one
    // before it when the record has been freed since.
    std::optional<IndexedName> Find(std::uint32_t number, std::uint16_t sequence) const;

private:
    std::unordered_map<std::uint64_t, IndexedName> names_;
    std::size_t budget_;
    std::size_t used_ = 0;
};

}  // namespace verandol
