#include "naming/carved_row_namer.h"

#include "naming/carved_names.h"
#include "naming/volume_memory.h"

namespace verandol {

namespace {

class VolumeRowNamer final : public CarvedRowNamer {
public:
    VolumeRowNamer(ByteSource& volume, const PublishedGeometry& published)
        : volume_(volume), memory_(volume, published) {}

    void Unmatched(ByteSpan bytes) override {
        // Index blocks begin "INDX": nothing else is worth keeping.
        if (!bytes.empty() && bytes[0] == 'I') memory_.AddFreeIndexBlock(bytes);
    }

    void Name(std::vector<DeletedFileRow>& rows) override {
        // The walk of the MFT is paid only when something was carved.
        if (rows.empty()) return;
        std::vector<std::int64_t> sizes;
        for (const DeletedFileRow& row : rows)
            if (row.carved) sizes.push_back(row.size);
        memory_.Remembered().KeepOnlySizes(std::move(sizes));
        memory_.ReadFolders();
        NameCarvedRows(rows, memory_, memory_.ReadJournal(), volume_);
    }

private:
    ByteSource& volume_;
    VolumeMemory memory_;
};

}  // namespace

std::unique_ptr<CarvedRowNamer> MakeCarvedRowNamer(ByteSource& volume,
                                                   const std::optional<PublishedGeometry>& published) {
    return std::make_unique<VolumeRowNamer>(volume, published ? *published : PublishedGeometry{});
}

}  // namespace verandol
