#include "deep/newest_copies.h"

#include <tuple>

#include "ntfs/attributes.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

constexpr std::uint32_t kUnlistedRow = UINT32_MAX;

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

std::optional<RecordIdentity> IdentityOf(const FoundRecordHeader& header, ByteSpan record) {
    const auto times = ReadStandardTimes(FindAttribute(record, layout::attr::kStandardInformation, false));
    if (!times) return std::nullopt;
    return RecordIdentity{header.number, times->created,
                          NameHash(FindAttribute(record, layout::attr::kFileName, true))};
}

NewestCopies::Verdict NewestCopies::Offer(const RecordIdentity& identity, const FoundRecordHeader& header,
                                          std::size_t row) {
    const std::uint32_t kept_row = row >= kUnlistedRow ? kUnlistedRow : static_cast<std::uint32_t>(row);
    const Copy offered{header.log_sequence, kept_row, header.sequence};
    auto [found, added] = newest_.try_emplace(identity, offered);
    if (added) return {};
    Copy& known = found->second;
    // Sequence numbers wrap after 65535 frees of one slot; no volume lives
    // long enough for that to decide between two copies of one file.
    if (std::tie(offered.sequence, offered.log_sequence) <= std::tie(known.sequence, known.log_sequence))
        return {false, std::nullopt};
    Verdict verdict;
    if (known.row != kUnlistedRow) verdict.withdrawn = known.row;
    known = offered;
    return verdict;
}

}  // namespace verandol
