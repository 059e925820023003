#include "rescue/volume_search.h"

namespace verandol {

Outcome<std::vector<FoundVolume>> SearchVolumes(ByteSource&, SearchProgress&) {
    return Refusal("the search for lost volumes is not built yet");
}

std::string FoundVolumeAddress(const std::string& path, std::int64_t offset) {
    return path + "@+" + std::to_string(offset);
}

}  // namespace verandol
