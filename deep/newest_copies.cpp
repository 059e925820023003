#include "deep/newest_copies.h"

#include <algorithm>
#include <tuple>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

constexpr std::uint32_t kNeverWithdrawn = UINT32_MAX;

std::uint64_t NameHash(ByteSpan file_name) {
    const auto units = file_name.empty() ? std::nullopt : ReadFileNameUnits(file_name);
    if (!units || units->empty()) return 0;
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char16_t unit : *units) {
        hash = (hash ^ (unit & 0xFFu)) * 0x100000001B3ull;
        hash = (hash ^ (static_cast<unsigned>(unit) >> 8)) * 0x100000001B3ull;
    }
    return hash == 0 ? 1 : hash;
}

}  // namespace

std::optional<RecordIdentity> IdentityOf(std::int64_t volume, const FoundRecordHeader& header, ByteSpan record) {
    const auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
    if (!times) return std::nullopt;
    return RecordIdentity{volume, header.number, times->created,
                          NameHash(FindAttribute(record, layout::attr::kFileName, true))};
}

std::size_t NewestCopies::HashOf(const RecordIdentity& id) {
    std::uint64_t h = id.name_hash ^ (id.created * 0x9E3779B97F4A7C15ull) ^ (std::uint64_t{id.number} << 17) ^
                      static_cast<std::uint64_t>(id.volume);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
}

void NewestCopies::Reserve(std::size_t copies) {
    std::size_t slots = 64;
    while (slots < 2 * copies) slots *= 2;
    if (slots > slots_.size()) Grow(slots);
}

void NewestCopies::Grow(std::size_t slots) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(slots, Slot{});
    for (const Slot& slot : old)
        if (slot.used) SlotFor(slot.identity) = slot;
}

NewestCopies::Slot& NewestCopies::SlotFor(const RecordIdentity& identity) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = HashOf(identity) & mask;; at = (at + 1) & mask)
        if (!slots_[at].used || slots_[at].identity == identity) return slots_[at];
}

NewestCopies::Verdict NewestCopies::Offer(const RecordIdentity& identity, const FoundRecordHeader& header,
                                          std::size_t row) {
    // At most half full, so a probe ends soon.
    if (2 * (count_ + 1) > slots_.size()) Grow(std::max<std::size_t>(64, 2 * slots_.size()));
    const std::uint32_t kept_row = row >= kNeverWithdrawn ? kNeverWithdrawn : static_cast<std::uint32_t>(row);
    Slot& slot = SlotFor(identity);
    if (!slot.used) {
        slot = {identity, header.log_sequence, kept_row, header.sequence, true};
        ++count_;
        return {};
    }
    // Sequence numbers wrap after 65535 frees of one slot; no volume lives
    // long enough for that to decide between two copies of one file.
    if (std::tie(header.sequence, header.log_sequence) <= std::tie(slot.sequence, slot.log_sequence))
        return {false, std::nullopt};
    Verdict verdict;
    if (slot.row != kNeverWithdrawn) verdict.withdrawn = slot.row;
    slot = {identity, header.log_sequence, kept_row, header.sequence, true};
    return verdict;
}

}  // namespace verandol
