#include "reading/bad_sector_map.h"

#include <unordered_map>

namespace verandol {

void BadSectorMap::MarkBad(UnreadRange stretch) {
    std::lock_guard lock(mutex_);
    bad_.Add(stretch);
    any_.store(!bad_.Empty(), std::memory_order_release);
}

std::optional<UnreadRange> BadSectorMap::NextBad(std::int64_t position) const {
    if (!any_.load(std::memory_order_acquire)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return bad_.NextFrom(position);
}

std::vector<UnreadRange> BadSectorMap::Stretches() const {
    std::lock_guard lock(mutex_);
    return bad_.All();
}

std::int64_t BadSectorMap::BadBytes() const {
    std::lock_guard lock(mutex_);
    return bad_.Bytes();
}

std::shared_ptr<BadSectorMap> BadSectorMapOf(const std::string& key) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<BadSectorMap>> maps;
    std::lock_guard lock(mutex);
    std::shared_ptr<BadSectorMap>& map = maps[key];
    if (!map) map = std::make_shared<BadSectorMap>();
    return map;
}

}  // namespace verandol
