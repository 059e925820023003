#include "deep/index_name_book.h"

namespace verandol {

namespace {

// What one kept name costs, roughly: the map's node and the text.
std::size_t Cost(const IndexedName& name) { return 64 + 2 * name.name.size(); }

}  // namespace

void IndexNameBook::Add(IndexedName name) {
    if (used_ >= 2 * budget_ || (name.from_slack && used_ >= budget_)) return;
    const std::size_t cost = Cost(name);
    const std::uint64_t reference = name.file_reference;
    auto [found, added] = names_.try_emplace(reference, std::move(name));
    if (added) {
        used_ += cost;
    } else if (found->second.from_slack && !name.from_slack) {
        // try_emplace leaves `name` alone when the key is there already.
        found->second = std::move(name);
    }
}

std::optional<IndexedName> IndexNameBook::Find(std::uint32_t number, std::uint16_t sequence) const {
    const auto reference = [number](std::uint16_t s) { return std::uint64_t{number} | (std::uint64_t{s} << 48); };
    if (auto found = names_.find(reference(sequence)); found != names_.end()) return found->second;
    const std::uint16_t before = sequence == 1 ? 0xFFFF : static_cast<std::uint16_t>(sequence - 1);
    if (auto found = names_.find(reference(before)); found != names_.end()) return found->second;
    return std::nullopt;
}

}  // namespace verandol
