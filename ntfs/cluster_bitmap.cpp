#include "ntfs/cluster_bitmap.h"

#include <algorithm>
#include <cstring>

#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

// Bitmap bytes read at a time: 64 KiB covers 2 GiB of a volume with 4 KiB
// clusters, and deleted files cluster in few such stretches.
constexpr std::int64_t kBlockBytes = 64 * 1024;
constexpr std::size_t kMaxBlocks = 256;

}  // namespace

namespace {

Outcome<BitmapExtent> NonResidentBitmap(ByteSpan data, const char* what) {
    if (data.empty()) return Refusal(std::string(what) + " has no attribute that holds it");
    auto extent = IsNonResident(data) ? ReadNonResidentExtent(data) : std::nullopt;
    if (!extent || extent->first_vcn != 0 || extent->real_size <= 0)
        return Refusal(std::string(what) + "'s attribute does not describe its clusters");
    auto runs = ReadRunList(data, *extent);
    if (!runs || !runs->reason.empty()) return Refusal(std::string(what) + "'s run list is damaged");
    return BitmapExtent{std::move(runs->runs), extent->real_size};
}

}  // namespace

Outcome<BitmapExtent> ReadBitmapExtent(ByteSpan record) {
    return NonResidentBitmap(FindAttribute(record, layout::attr::kData, false), "the cluster bitmap");
}

Outcome<BitmapExtent> ReadRecordBitmapExtent(ByteSpan mft_record) {
    return NonResidentBitmap(FindAttribute(mft_record, layout::attr::kBitmap, false), "the MFT's record bitmap");
}

int FreeSharePercent(const ClusterUse& use) {
    if (use.total <= 0 || use.in_use <= 0) return 100;
    if (use.in_use >= use.total) return 0;
    const long double free_share = static_cast<long double>(use.total - use.in_use) / use.total;
    return std::clamp(static_cast<int>(free_share * 100), 1, 99);
}

ClusterBitmap::ClusterBitmap(ByteSource& volume, std::int64_t cluster_size, BitmapExtent extent)
    : volume_(volume),
      cluster_size_(cluster_size),
      extent_(std::move(extent)),
      map_(ClusterMap::FromRuns(extent_.runs, cluster_size)) {}

const std::vector<std::uint8_t>* ClusterBitmap::Block(std::int64_t block) {
    if (block == last_block_) return last_bytes_;
    last_block_ = block;
    last_bytes_ = LoadBlock(block);
    return last_bytes_;
}

const std::vector<std::uint8_t>* ClusterBitmap::LoadBlock(std::int64_t block) {
    if (auto found = blocks_.find(block); found != blocks_.end())
        return found->second.empty() ? nullptr : &found->second;
    if (blocks_.size() >= kMaxBlocks) blocks_.clear();
    std::vector<std::uint8_t>& bytes = blocks_[block];
    const std::int64_t start = block * kBlockBytes;
    if (start < 0 || start >= extent_.bytes) return nullptr;
    const std::int64_t length = std::min(kBlockBytes, extent_.bytes - start);
    std::vector<std::uint8_t> read(static_cast<std::size_t>(length));
    // A hole or a run off the volume: these bytes of the bitmap are unknown.
    if (map_.Read(volume_, start, read, ClusterMap::Holes::Refuse).stop != ClusterMap::Gathered::Stop::Complete)
        return nullptr;
    bytes = std::move(read);
    return &bytes;
}

std::optional<std::int64_t> ClusterBitmap::CountRange(std::int64_t first, std::int64_t count) {
    std::int64_t set = 0;
    const std::int64_t end = first + count;
    const std::int64_t block_clusters = kBlockBytes * 8;
    for (std::int64_t cluster = first; cluster < end;) {
        const std::int64_t block_index = cluster / block_clusters;
        const std::vector<std::uint8_t>* block = Block(block_index);
        if (!block) return std::nullopt;
        const std::uint8_t* bytes = block->data();
        const std::int64_t base = block_index * block_clusters;
        const std::int64_t stop = std::min(end, base + block_clusters);
        const auto bit = [&](std::int64_t c) { return (bytes[(c - base) / 8] >> ((c - base) % 8)) & 1; };
        while (cluster < stop && cluster % 64 != 0) set += bit(cluster++);
        // Whole 64-cluster words: a deleted 1 GiB file has a quarter of a
        // million clusters.
        for (; cluster + 64 <= stop; cluster += 64) {
            std::uint64_t word;
            std::memcpy(&word, bytes + (cluster - base) / 8, sizeof word);
            set += __builtin_popcountll(word);
        }
        while (cluster < stop) set += bit(cluster++);
    }
    return set;
}

std::optional<ClusterUse> ClusterBitmap::Count(const std::vector<Run>& runs, std::int64_t real_size) {
    if (real_size < 0 || cluster_size_ <= 0) return std::nullopt;
    std::int64_t needed = real_size / cluster_size_ + (real_size % cluster_size_ != 0);
    std::int64_t bits;
    if (MulOverflows(extent_.bytes, std::int64_t{8}, bits)) bits = INT64_MAX;
    ClusterUse use;
    for (const Run& run : runs) {
        if (needed == 0) break;
        const std::int64_t take =
            static_cast<std::int64_t>(std::min<std::uint64_t>(run.clusters, static_cast<std::uint64_t>(needed)));
        needed -= take;
        if (run.sparse || take == 0) continue;
        // A run outside what the bitmap maps cannot be judged; and a file
        // cannot hold more clusters than the volume has.
        if (!run.valid || run.lcn > bits || take > bits - run.lcn || use.total + take > bits) return std::nullopt;
        auto set = CountRange(run.lcn, take);
        if (!set) return std::nullopt;
        use.in_use += *set;
        use.total += take;
    }
    return use;
}

std::optional<ClusterUse> ClusterBitmap::CountForData(ByteSpan data) { return CountForPieces({data}); }

std::optional<ClusterUse> ClusterBitmap::CountForPieces(const std::vector<ByteSpan>& pieces) {
    if (pieces.empty()) return std::nullopt;
    if (!IsNonResident(pieces.front())) return ClusterUse{};
    auto runs = RunsOfPieces(pieces);
    if (!runs) return std::nullopt;
    return Count(runs->runs, runs->real_size);
}

std::optional<ClusterUse> ClusterBitmap::CountForPiecesOf(const std::vector<ByteSpan>& pieces,
                                                          std::int64_t piece_cluster_size, std::int64_t origin) {
    if (piece_cluster_size == cluster_size_ && origin == 0) return CountForPieces(pieces);
    if (pieces.empty() || piece_cluster_size <= 0 || origin < 0 || cluster_size_ <= 0) return std::nullopt;
    if (!IsNonResident(pieces.front())) return ClusterUse{};
    auto theirs = RunsOfPieces(pieces);
    if (!theirs) return std::nullopt;
    // The same bytes in this volume's clusters.
    std::vector<Run> ours;
    std::int64_t left = theirs->real_size;
    for (const Run& run : theirs->runs) {
        if (left <= 0) break;
        std::int64_t bytes;
        if (run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
            __builtin_mul_overflow(static_cast<std::int64_t>(run.clusters), piece_cluster_size, &bytes))
            return std::nullopt;
        bytes = std::min(bytes, left);
        left -= bytes;
        if (run.sparse || bytes == 0) continue;
        std::int64_t start, last;
        if (!run.valid || __builtin_mul_overflow(run.lcn, piece_cluster_size, &start) ||
            __builtin_add_overflow(start, origin, &start) || __builtin_add_overflow(start, bytes - 1, &last))
            return std::nullopt;
        const std::int64_t first_cluster = start / cluster_size_;
        ours.push_back({static_cast<std::uint64_t>(last / cluster_size_ - first_cluster + 1), first_cluster, false, true});
    }
    std::int64_t total = 0;
    for (const Run& run : ours) total += static_cast<std::int64_t>(run.clusters);
    std::int64_t total_bytes;
    if (__builtin_mul_overflow(total, cluster_size_, &total_bytes)) return std::nullopt;
    return Count(ours, total_bytes);
}

std::optional<bool> ClusterBitmap::IsSet(std::int64_t index) {
    std::int64_t bits;
    if (__builtin_mul_overflow(extent_.bytes, std::int64_t{8}, &bits)) bits = INT64_MAX;
    if (index < 0 || index >= bits) return std::nullopt;
    auto set = CountRange(index, 1);
    if (!set) return std::nullopt;
    return *set != 0;
}

std::optional<ClusterBitmap::PieceRuns> ClusterBitmap::RunsOfPieces(const std::vector<ByteSpan>& pieces) {
    const auto first = ReadNonResidentExtent(pieces.front());
    if (!first || first->first_vcn != 0) return std::nullopt;
    std::vector<Run> runs;
    std::int64_t next_vcn = 0;
    for (ByteSpan piece : pieces) {
        const auto extent = IsNonResident(piece) ? ReadNonResidentExtent(piece) : std::nullopt;
        if (!extent || extent->first_vcn != next_vcn) return std::nullopt;
        auto decoded = ReadRunList(piece, *extent);
        if (!decoded) return std::nullopt;
        for (const Run& run : decoded->runs) {
            if (run.clusters > static_cast<std::uint64_t>(INT64_MAX) ||
                AddOverflows(next_vcn, static_cast<std::int64_t>(run.clusters), next_vcn))
                return std::nullopt;
            runs.push_back(run);
        }
    }
    return PieceRuns{std::move(runs), first->real_size};
}

}  // namespace verandol
