#include "scan/carved_rows.h"

#include <utility>

#include "text/record_texts.h"

namespace verandol {

namespace {

class RowEvents final : public CarveEvents {
public:
    explicit RowEvents(const CarveRowHooks& hooks) : hooks_(hooks) {}
    void Found(CarvedFile file) override { hooks_.row(CarvedRow(file)); }
    void Unmatched(std::int64_t position, ByteSpan bytes) override {
        if (hooks_.unmatched) hooks_.unmatched(position, bytes);
    }
    bool StopRequested() override { return hooks_.stop && hooks_.stop(); }
    void Progress(std::int64_t done, std::int64_t total) override {
        if (hooks_.progress) hooks_.progress(done, total);
    }

private:
    const CarveRowHooks& hooks_;
};

}  // namespace

DeletedFileRow CarvedRow(const CarvedFile& file) {
    DeletedFileRow row;
    row.position = file.extent.position;
    row.position_text = PositionCaption(file.extent.position);
    // Appended, not prefixed: g++ 12 at -O3 takes `"literal" + string` for an
    // overlapping copy and warns.
    row.name = std::string("f").append(std::to_string(file.first_unit)).append(".").append(file.extension);
    row.type = std::string(".").append(file.extension);
    row.size = file.extent.length;
    row.size_text = std::to_string(file.extent.length);
    row.carved = true;
    row.carved_extent = file.extent;
    row.named_from = "cluster";
    return row;
}

CarveEnd CarveRows(ByteSource& volume, const std::optional<PublishedGeometry>& published, const CarveRowHooks& hooks,
                   const StretchSet* claimed) {
    CarveSetup setup;
    setup.claimed = claimed;
    std::optional<ClusterBitmap> bitmap;
    if (published && published->geometry.ClusterSize > 0) {
        setup.unit = published->geometry.ClusterSize;
        if (published->bitmap) {
            bitmap.emplace(volume, setup.unit, *published->bitmap);
            setup.bitmap = &*bitmap;
        }
    }
    RowEvents events(hooks);
    return CarvePass(volume, setup, events);
}

}  // namespace verandol
