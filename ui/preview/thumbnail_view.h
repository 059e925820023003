// The thumbnails: the list's picture rows as a grid of small pictures, each
// read from the volume when it first comes into view and kept in a bounded
// cache.
#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include <QCache>
#include <QImage>
#include <QListView>
#include <QSortFilterProxyModel>

#include "ui/preview/preview_reader.h"

namespace verandol {

class DeletedFilesModel;

// True for a type ("." and the extension) that Qt's image readers read.
bool IsPictureType(const QString& type);

class ThumbnailModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    static constexpr int kEdge = 96;  // a thumbnail fits a square of this many pixels
    // `ask` is called with a row of `rows` whose thumbnail is wanted and the
    // generation to hand back with it.
    ThumbnailModel(DeletedFilesModel* rows, std::function<void(int row, std::uint64_t generation)> ask,
                   QObject* parent);

    QVariant data(const QModelIndex& index, int role) const override;
    // A thumbnail read; one of rows since replaced is dropped.
    void Deliver(const PreviewResult& result);
    // The rows were replaced by a new scan's.
    void Forget();
    int CachedCount() const { return static_cast<int>(cache_.count()); }

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

private:
    DeletedFilesModel* rows_;
    std::function<void(int, std::uint64_t)> ask_;
    std::uint64_t generation_ = 1;
    mutable QCache<std::uint32_t, QImage> cache_;
    mutable std::set<std::uint32_t> asked_;
};

// The grid itself, over a ThumbnailModel.
class ThumbnailView : public QListView {
    Q_OBJECT
public:
    explicit ThumbnailView(QWidget* parent = nullptr);
};

}  // namespace verandol
