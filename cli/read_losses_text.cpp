#include "cli/read_losses_text.h"

#include <algorithm>
#include <charconv>

#include "cli/option_values.h"
#include "cli/text_escape.h"
#include "reading/careful_source.h"

namespace verandol::cli {

std::string JsonReadLosses(const ReadLosses& losses) {
    std::string json = "{\"unreadable\":{\"pass\":" + JsonString(losses.pass) +
                       ",\"bytes\":" + std::to_string(losses.Bytes()) + ",\"stretches\":[";
    for (std::size_t i = 0; i < losses.stretches.size(); ++i)
        json.append(i ? "," : "")
            .append("{\"position\":")
            .append(std::to_string(losses.stretches[i].position))
            .append(",\"length\":")
            .append(std::to_string(losses.stretches[i].length))
            .append("}");
    json += "],\"records\":[";
    for (std::size_t i = 0; i < losses.records.size(); ++i)
        json.append(i ? "," : "").append(std::to_string(losses.records[i]));
    return json + "]}}";
}

std::vector<std::string> TsvReadLosses(const ReadLosses& losses) {
    std::string stretches;
    for (std::size_t i = 0; i < losses.stretches.size(); ++i)
        stretches.append(i ? ", " : "").append(StretchText(losses.stretches[i]));
    std::vector<std::string> lines{"# Unreadable: " + stretches};
    if (!losses.records.empty()) lines.push_back("# Unreadable Records: " + NumberRunsText(losses.records));
    return lines;
}

std::string TakeRetriesOption(std::vector<std::string>& args) {
    const TakenOption taken = TakeOption(args, "--retries");
    if (!taken.error.empty()) return "--retries needs a number";
    for (const std::string& value : taken.values) {
        int retries = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), retries);
        if (error != std::errc() || end != value.data() + value.size() || retries < 0 || retries > 100)
            return "--retries takes a whole number from 0 to 100";
        ReadPolicy policy = RunReadPolicy();
        policy.retries = retries;
        SetRunReadPolicy(policy);
    }
    return {};
}

}  // namespace verandol::cli
