// The rows of ListView1: one flat vector, so 200,000 deleted files stay cheap.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "scan/deleted_file_row.h"

namespace verandol {

enum class ListColumn { RecordPosition, FileName, FileType, FileSize, CreateDate, LastModifyDate };
inline constexpr int kListColumnCount = 6;

QString ListColumnCaption(ListColumn column);
int ListColumnWidth(ListColumn column);

// The caption (column 0) and the five sub-items, as UTF-8 texts.
struct ListRow {
    std::array<std::string, kListColumnCount> cells;
    bool ticked = false;
};

class DeletedFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // New rows arrive unticked, after the present ones.
    void AppendRows(std::vector<DeletedFileRow> rows);
    void Clear();
    void SetAllTicked(bool ticked);
    // Ascending and stable; `compare` answers negative when the first goes first.
    void Sort(const std::function<int(const ListRow&, const ListRow&)>& compare);

    const ListRow& Row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    int Count() const { return static_cast<int>(rows_.size()); }

private:
    std::vector<ListRow> rows_;
};

}  // namespace verandol
