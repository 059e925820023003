#include "rescue/mft_extent.h"

#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/fixups.h"

namespace verandol {

namespace {

Outcome<MftExtent> ExtentFromRecord(ByteSource& volume, const VolumeGeometry& g, std::int64_t position) {
    std::vector<std::uint8_t> record(g.RecordSize);
    if (volume.ReadAt(position, record) != record.size()) return Refusal("MFT record 0 cannot be read");
    if (!ApplyFixups(record)) return Refusal("MFT record 0 is damaged: it fails its update sequence check");
    ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    if (data.empty()) return Refusal("MFT record 0 has no data attribute");
    auto nr = IsNonResident(data) ? ReadNonResidentExtent(data) : std::nullopt;
    if (!nr) return Refusal("MFT record 0's data attribute does not describe the MFT's clusters");
    // Each flag alone: a record flagged compressed and sparse is both.
    if (nr->flags & layout::attr::kFlagCompressed) return Refusal("the MFT is compressed");
    if (nr->flags & layout::attr::kFlagEncrypted) return Refusal("the MFT is encrypted");
    if (nr->flags & layout::attr::kFlagSparse) return Refusal("the MFT is sparse");

    // The MFT spans last VCN - first VCN + 1 clusters: the last cluster holds records too.
    MftExtent extent;
    std::int64_t clusters;
    if (nr->last_vcn < nr->first_vcn || SubOverflows(nr->last_vcn, nr->first_vcn, clusters) ||
        AddOverflows(clusters, 1, clusters) ||
        MulOverflows(clusters, static_cast<std::int64_t>(g.ClusterSize), extent.bytes))
        return Refusal("MFT record 0 gives an impossible extent for the MFT");
    extent.record_count = extent.bytes / g.RecordSize;
    if (extent.record_count > INT32_MAX) return Refusal("MFT record 0 gives an implausibly large MFT");
    auto runs = ReadRunList(data, *nr);
    if (!runs) return Refusal("MFT record 0's run list lies outside its data attribute");
    // A walk along half a map would list the records it reaches as if they
    // were all, and read the rest from wherever the broken run points.
    if (!runs->reason.empty()) return Refusal("MFT record 0's run list is damaged: " + runs->reason);
    extent.runs = std::move(runs->runs);
    if (auto bitmap = ReadRecordBitmapExtent(record)) extent.record_bitmap = std::move(*bitmap);
    return extent;
}

}  // namespace

Outcome<MftExtent> ReadMftExtent(ByteSource& volume, const VolumeLayout& layout) {
    Outcome<MftExtent> own = ExtentFromRecord(volume, layout.geometry, layout.mft_offset);
    if (own || layout.mirror_offset < 0 || layout.mirror_offset == layout.mft_offset) return own;
    // A quick format or a torn write can spoil the MFT's first records; NTFS
    // keeps a copy of records 0-3 for exactly that.
    Outcome<MftExtent> mirrored = ExtentFromRecord(volume, layout.geometry, layout.mirror_offset);
    if (!mirrored) return own;
    mirrored->note = "MFT record 0 is damaged; it is read from its copy in $MFTMirr";
    return mirrored;
}

}  // namespace verandol
