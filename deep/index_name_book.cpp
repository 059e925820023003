#include "deep/index_name_book.h"

#include <algorithm>

namespace verandol {

void IndexNameBook::Add(std::int64_t volume, const IndexedNameView& name) {
    if (used_ >= 2 * budget_ || (name.from_slack && used_ >= budget_)) return;
    if (name.name.empty() || name.name.size() > 255) return;
    if (blocks_.empty() || blocks_.back().size() + name.name.size() > kBlockUnits) {
        if (blocks_.size() >= UINT32_MAX / kBlockUnits) return;
        // The first block grows as names come, so a pass that meets only a
        // few (a small image) does not set 512 KiB aside; once one has
        // filled, each next block is reserved whole and never moves.
        const bool first = blocks_.empty();
        blocks_.emplace_back();
        if (!first) blocks_.back().reserve(kBlockUnits);
    }
    used_ += sizeof(Kept) + 2 * name.name.size();  // what one kept name costs
    const std::size_t first = (blocks_.size() - 1) * kBlockUnits + blocks_.back().size();
    kept_.push_back({volume, name.file_reference, name.parent_reference, static_cast<std::uint32_t>(first),
                     static_cast<std::uint8_t>(name.name.size()), name.from_slack});
    blocks_.back().append(name.name);
    sorted_ = false;
}

const IndexNameBook::Kept* IndexNameBook::Lookup(std::int64_t volume, std::uint64_t reference) {
    if (!sorted_) {
        // Stable: among entries for one reference, the order met decides
        // once live ones have gone first.
        std::stable_sort(kept_.begin(), kept_.end(), [](const Kept& a, const Kept& b) {
            if (a.volume != b.volume) return a.volume < b.volume;
            return a.file_reference != b.file_reference ? a.file_reference < b.file_reference
                                                        : !a.from_slack && b.from_slack;
        });
        sorted_ = true;
    }
    const auto found = std::lower_bound(kept_.begin(), kept_.end(), std::pair{volume, reference},
                                        [](const Kept& k, const std::pair<std::int64_t, std::uint64_t>& key) {
                                            return std::pair{k.volume, k.file_reference} < key;
                                        });
    return found != kept_.end() && found->volume == volume && found->file_reference == reference ? &*found : nullptr;
}

std::optional<IndexedName> IndexNameBook::Find(std::int64_t volume, std::uint32_t number, std::uint16_t sequence) {
    const auto reference = [number](std::uint16_t s) { return std::uint64_t{number} | (std::uint64_t{s} << 48); };
    const std::uint16_t before = sequence == 1 ? 0xFFFF : static_cast<std::uint16_t>(sequence - 1);
    const Kept* kept = Lookup(volume, reference(sequence));
    if (!kept) kept = Lookup(volume, reference(before));
    if (!kept) return std::nullopt;
    const std::u16string& block = blocks_[kept->first_unit / kBlockUnits];
    return IndexedName{kept->file_reference, kept->parent_reference,
                       block.substr(kept->first_unit % kBlockUnits, kept->units), kept->from_slack, {}};
}

}  // namespace verandol
