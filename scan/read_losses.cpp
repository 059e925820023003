#include "scan/read_losses.h"

#include <cstdio>

#include "ntfs/checked_math.h"

namespace verandol {

std::int64_t ReadLosses::Bytes() const {
    std::int64_t total = 0;
    for (const UnreadRange& r : stretches) total = SaturatingAdd(total, r.length);
    return total;
}

std::string NumberRunsText(const std::vector<std::int64_t>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(numbers[i]);
        if (j > i) text.append("-").append(std::to_string(numbers[j]));
        i = j + 1;
    }
    return text;
}

namespace {

std::string Hex(std::int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string SizeText(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 1024 * 1024) return std::to_string((bytes + 1023) / 1024) + " KiB";
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

}  // namespace

std::string StretchText(const UnreadRange& stretch) {
    return Hex(stretch.position).append("-").append(Hex(stretch.End() - 1)).append(" (").append(SizeText(stretch.length)).append(")");
}

std::string ReadLossNote(const ReadLosses& losses) {
    constexpr std::size_t kShown = 3;
    std::string text = "the " + losses.pass + " could not read " + SizeText(losses.Bytes()) + " of the device in " +
                       std::to_string(losses.stretches.size()) +
                       (losses.stretches.size() == 1 ? " stretch (" : " stretches (");
    for (std::size_t i = 0; i < losses.stretches.size() && i < kShown; ++i)
        text.append(i ? ", " : "").append(StretchText(losses.stretches[i]));
    if (losses.stretches.size() > kShown) text += ", ...";
    text += ")";
    if (!losses.records.empty())
        text += "; " + std::to_string(losses.records.size()) +
                (losses.records.size() == 1 ? " MFT record is" : " MFT records are") + " unreadable (" +
                NumberRunsText(losses.records) + "): a deleted file among them is not listed, and a folder among " +
                "them shows as <unreadable folder>";
    if (!losses.consequence.empty()) text += "; " + losses.consequence;
    return text;
}

}  // namespace verandol
