#include "ui/preview/preview_reader.h"

#include <algorithm>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QThread>

#include "disk/open_volume.h"
#include "recover/row_start.h"
#include "text/content_text.h"

namespace verandol {

namespace {

using Kind = PreviewResult::Kind;

PreviewResult Unreadable(std::uint32_t row, const QString& why) {
    PreviewResult result;
    result.row = row;
    result.note = why;
    return result;
}

// The bytes decoded as a picture scaled into `box`; false when they are none
// Qt's image readers know.
bool DecodePicture(const std::vector<std::uint8_t>& bytes, QSize box, PreviewResult& result) {
    const QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!reader.canRead()) return false;
    const QSize size = reader.size();
    // Scaled while decoding where the format allows it (JPEG), so a large
    // photo never needs its full size in memory.
    if (size.isValid() && box.isValid() && (size.width() > box.width() || size.height() > box.height()))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) return false;
    if (box.isValid() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    result.kind = Kind::Picture;
    result.picture = std::move(image);
    result.picture_size = size.isValid() ? size : result.picture.size();
    return true;
}

}  // namespace

PreviewResult MakePreview(ByteSource& volume, const PreviewRequest& request, const std::atomic<bool>* stop) {
    RecoveryRequest row;
    row.position_text = request.position_text;
    row.found = request.found ? &*request.found : nullptr;
    row.carved = request.carved ? &*request.carved : nullptr;
    const RowStart start = ReadRowStart(volume, request.source, row, kPreviewPictureBytes, stop);
    if (!start.refusal.empty())
        return Unreadable(request.row, QStringLiteral("Not recoverable: %1.").arg(QString::fromStdString(start.refusal)));
    PreviewResult result;
    result.row = request.row;
    result.size = start.size;
    if (!start.missing.empty())
        result.note = QStringLiteral("Partly unreadable, shown as zeros: %1.").arg(QString::fromStdString(start.missing));
    if (DecodePicture(start.bytes, request.picture_box, result) || request.picture_only) return result;
    if (const std::optional<ContentText> text = GuessText(start.bytes, kPreviewTextLines)) {
        result.kind = Kind::Text;
        result.text = QString::fromStdString(text->utf8);
        result.encoding = QString::fromLatin1(TextEncodingName(text->encoding));
        return result;
    }
    result.kind = Kind::Hex;
    result.text = QString::fromStdString(HexDump(start.bytes, kPreviewHexBytes));
    return result;
}

// The volume the thread read last, kept open for the next request.
struct PreviewReader::KeptVolume {
    std::string address;
    std::unique_ptr<ByteSource> source;
    std::string failure;
};

PreviewReader::PreviewReader(QObject* parent)
    : QObject(parent), thread_(new QThread(this)), worker_(new QObject), volume_(std::make_shared<KeptVolume>()) {
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
}

PreviewReader::~PreviewReader() {
    preview_superseded_ = true;
    latest_preview_ = UINT64_MAX;
    thread_->quit();
    thread_->wait();
}

void PreviewReader::Preview(PreviewRequest request) {
    // The ticket first, then the flag: a read that began before either ends.
    const std::uint64_t ticket = ++latest_preview_;
    preview_superseded_ = true;
    Post(std::move(request), false, ticket);
}

void PreviewReader::CancelPreview() {
    ++latest_preview_;
    preview_superseded_ = true;
}

void PreviewReader::Thumbnail(PreviewRequest request) { Post(std::move(request), true, 0); }

void PreviewReader::Post(PreviewRequest request, bool thumbnail, std::uint64_t ticket) {
    std::shared_ptr<KeptVolume> volume = volume_;
    QMetaObject::invokeMethod(worker_, [this, volume, request = std::move(request), thumbnail, ticket] {
        // The window's thread waits for this thread before `this` goes.
        if (!thumbnail) {
            if (ticket != latest_preview_) return;  // a newer preview was asked for
            preview_superseded_ = false;
            if (ticket != latest_preview_) return;
        }
        PreviewResult result;
        try {
            if (volume->address != request.source.path || !volume->source) {
                volume->address = request.source.path;
                volume->source.reset();
                Outcome<verandol::OpenedVolume> opened = verandol::OpenVolume(request.source.path);
                if (opened) volume->source = std::move(opened->source);
                else volume->failure = opened.reason();
            }
            result = volume->source ? MakePreview(*volume->source, request, thumbnail ? nullptr : &preview_superseded_)
                                    : Unreadable(request.row, QStringLiteral("Unreadable: the volume cannot be opened: %1.")
                                                                  .arg(QString::fromStdString(volume->failure)));
        } catch (const std::exception& error) {
            result = Unreadable(request.row, QStringLiteral("Unreadable: %1.").arg(QString::fromUtf8(error.what())));
        }
        result.generation = request.generation;
        if (!thumbnail && ticket != latest_preview_) return;
        // Dropped with `this` should it go before the event is handled.
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result), thumbnail, ticket] {
                if (thumbnail) emit thumbnailReady(result);
                else if (ticket == latest_preview_) emit previewReady(result);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace verandol
