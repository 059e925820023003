#include "ui/preview/thumbnail_view.h"

#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

#include "ui/deleted_files_model.h"

namespace verandol {

namespace {

// About 64 MiB of thumbnails, each costed at its pixels' bytes.
constexpr int kCacheBytes = 64 << 20;

// What stands in a thumbnail's place until it is read, or when it cannot be.
QImage Placeholder(const QString& mark) {
    QImage image(ThumbnailModel::kEdge, ThumbnailModel::kEdge, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(230, 230, 230));
    QPainter painter(&image);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(0, 0, ThumbnailModel::kEdge - 1, ThumbnailModel::kEdge - 1);
    painter.drawText(image.rect(), Qt::AlignCenter, mark);
    return image;
}

}  // namespace

bool IsPictureType(const QString& type) {
    static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    if (!type.startsWith(QLatin1Char('.'))) return false;
    return formats.contains(type.mid(1).toLower().toLatin1());
}

ThumbnailModel::ThumbnailModel(DeletedFilesModel* rows, std::function<void(int, std::uint64_t)> ask,
                               QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows), ask_(std::move(ask)), cache_(kCacheBytes) {
    setSourceModel(rows);
    // The file name under each picture.
    connect(rows, &QAbstractItemModel::modelReset, this, [this] {
        if (rows_->TotalCount() == 0) Forget();
    });
}

bool ThumbnailModel::filterAcceptsRow(int source_row, const QModelIndex& source_parent) const {
    const QModelIndex type = sourceModel()->index(source_row, static_cast<int>(ListColumn::FileType), source_parent);
    return IsPictureType(type.data().toString());
}

QVariant ThumbnailModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DecorationRole || !index.isValid()) return QSortFilterProxyModel::data(index, role);
    const int source_row = mapToSource(index).row();
    if (source_row < 0 || source_row >= rows_->Count()) return {};
    const std::uint32_t ordinal = rows_->Row(source_row).ordinal;
    if (const QImage* image = cache_.object(ordinal)) return QPixmap::fromImage(*image);
    if (asked_.insert(ordinal).second && ask_) ask_(source_row, generation_);
    static const QPixmap waiting = QPixmap::fromImage(Placeholder(QStringLiteral("...")));
    return waiting;
}

void ThumbnailModel::Deliver(const PreviewResult& result) {
    if (result.generation != generation_) return;
    const QImage image = result.kind == PreviewResult::Kind::Picture ? result.picture : Placeholder(QStringLiteral("?"));
    const qsizetype bytes = image.sizeInBytes();
    cache_.insert(result.row, new QImage(image), static_cast<int>(std::min<qsizetype>(bytes, kCacheBytes)));
    // Read again when it comes back into view after the cache let it go.
    asked_.erase(result.row);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DecorationRole});
}

void ThumbnailModel::Forget() {
    ++generation_;
    cache_.clear();
    asked_.clear();
}

ThumbnailView::ThumbnailView(QWidget* parent) : QListView(parent) {
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setIconSize(QSize(ThumbnailModel::kEdge, ThumbnailModel::kEdge));
    setGridSize(QSize(ThumbnailModel::kEdge + 40, ThumbnailModel::kEdge + 36));
    setWordWrap(true);
    setTextElideMode(Qt::ElideMiddle);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModelColumn(static_cast<int>(ListColumn::FileName));
}

}  // namespace verandol
