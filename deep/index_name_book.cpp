#include "deep/index_name_book.h"

namespace verandol {

namespace {

// What one kept name costs, roughly: the map's node and the text.
std::size_t Cost(const IndexedName& name) { return 64 + 2 * name.name.size(); }

}  // namespace

void IndexNameBook::Add(IndexedName name) {
    if (used_ >= 2 * budget_ || (name.from_slack && used_ >= budget_)) return;
    auto found = names_.find(name.file_reference);
    if (found != names_.end()) {
        if (found->second.from_slack && !name.from_slack) found->second = std::move(name);
        return;
    }
    used_ += Cost(name);
    names_.emplace(name.file_reference, std::move(name));
}

std::optional<IndexedName> IndexNameBook::Find(std::uint32_t number, std::uint16_t sequence) const {
    const auto reference = [number](std::uint16_t s) { return std::uint64_t{number} | (std::uint64_t{s} << 48); };
    if (auto found = names_.find(reference(sequence)); found != names_.end()) return found->second;
    const std::uint16_t before = sequence == 1 ? 0xFFFF : static_cast<std::uint16_t>(sequence - 1);
    if (auto found = names_.find(reference(before)); found != names_.end()) return found->second;
    return std::nullopt;
}

}  // namespace verandol
