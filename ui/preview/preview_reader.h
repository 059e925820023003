// Reads and decodes a row's first bytes off the window's thread, for the
// preview pane and the thumbnails: one request at a time on one thread, a
// newer preview ending an older one, thumbnails in turn.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include "carve/carve_check.h"
#include "disk/found_geometry.h"
#include "disk/published_geometry.h"

class QThread;

namespace verandol {

// At most this much of a file is read for its picture, 4 KiB of it shown in
// hexadecimal and its first lines as text.
inline constexpr std::size_t kPreviewPictureBytes = 16 << 20;
inline constexpr std::size_t kPreviewHexBytes = 4096;
inline constexpr std::size_t kPreviewTextLines = 200;

// One row to look at, with what reads it: the scan's volume and the row's
// own geometry when the deep scan found it, or its extent when carved.
struct PreviewRequest {
    std::uint32_t row = 0;
    std::uint64_t generation = 0;  // whose rows: handed back with the result
    PublishedGeometry source;
    std::string position_text;
    std::optional<FoundGeometry> found{};
    std::optional<CarvedExtent> carved{};
    QSize picture_box;  // the picture is scaled to fit this
    bool picture_only = false;  // a thumbnail: no text or hex is made
};

struct PreviewResult {
    enum class Kind { Picture, Text, Hex, Unreadable };
    std::uint32_t row = 0;
    std::uint64_t generation = 0;
    Kind kind = Kind::Unreadable;
    QImage picture;         // scaled to the box asked for
    QSize picture_size;     // the picture's own size
    QString text;           // the text or the hexadecimal dump
    QString encoding;       // of the text
    QString note;           // why nothing can be shown, or what of it could not be read
    std::int64_t size = 0;  // the whole file's size
};

// What one request gives, read from `volume`: the work the thread does,
// callable alone.
PreviewResult MakePreview(ByteSource& volume, const PreviewRequest& request, const std::atomic<bool>* stop);

class PreviewReader : public QObject {
    Q_OBJECT
public:
    explicit PreviewReader(QObject* parent = nullptr);
    ~PreviewReader() override;

    // The pane's request: ends any preview still being read.
    void Preview(PreviewRequest request);
    // Ends the preview being read and drops its result: its rows are gone.
    void CancelPreview();
    // A thumbnail's: read after the ones asked for before it.
    void Thumbnail(PreviewRequest request);

signals:
    void previewReady(const verandol::PreviewResult& result);
    void thumbnailReady(const verandol::PreviewResult& result);

private:
    void Post(PreviewRequest request, bool thumbnail, std::uint64_t ticket);

    QThread* thread_;
    QObject* worker_;  // lives in thread_
    // Touched only on thread_: the volume last opened, by its address.
    struct KeptVolume;
    std::shared_ptr<KeptVolume> volume_;
    std::atomic<std::uint64_t> latest_preview_{0};
    std::atomic<bool> preview_superseded_{false};
};

}  // namespace verandol
