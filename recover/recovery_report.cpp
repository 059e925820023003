#include "recover/recovery_report.h"

#include <algorithm>

namespace verandol {

namespace {

constexpr std::size_t kListedFailures = 10;

}  // namespace

std::string RecoveryReport(int ticked, int recovered, const std::vector<RecoveryFailure>& failures) {
    if (failures.empty()) return {};
    std::string text = std::to_string(recovered) + " of " + std::to_string(ticked) +
                       (ticked == 1 ? " ticked file was" : " ticked files were") + " recovered.\n";
    const auto unchecked = std::count_if(failures.begin(), failures.end(), [](const RecoveryFailure& f) { return f.unchecked; });
    if (unchecked > 0)
        text += std::to_string(unchecked) +
                (unchecked == 1 ? " file was written without checking that its clusters still held it.\n"
                                : " files were written without checking that their clusters still held them.\n");
    const std::size_t listed = std::min(failures.size(), kListedFailures);
    for (std::size_t i = 0; i < listed; ++i) {
        const RecoveryFailure& failure = failures[i];
        text += "\n" + failure.name + " (" + failure.position + "): " +
                (failure.incomplete  ? "written incomplete, "
                 : failure.unchecked ? "written unchecked, "
                                     : "not written, ") +
                failure.reason;
    }
    if (failures.size() > listed) text += "\nand " + std::to_string(failures.size() - listed) + " more";
    return text;
}

}  // namespace verandol
