#include "ui/deleted_files_model.h"

#include <algorithm>

namespace verandol {

QString ListColumnCaption(ListColumn column) {
    const auto index = static_cast<std::size_t>(column);
    return index < kDeletedFileColumnCaptions.size() ? QString::fromLatin1(kDeletedFileColumnCaptions[index])
                                                     : QString();
}

int ListColumnWidth(ListColumn column) {
    switch (column) {
        case ListColumn::RecordPosition: return 100;
        case ListColumn::FileName: return 200;
        case ListColumn::FileType: return 100;
        case ListColumn::FileSize: return 100;
        case ListColumn::CreateDate: return 160;
        case ListColumn::LastModifyDate: return 160;
    }
    return 0;
}

int DeletedFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int DeletedFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kListColumnCount;
}

QVariant DeletedFilesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const ListRow& row = Row(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(row.cells[static_cast<std::size_t>(index.column())]);
    if (role == Qt::CheckStateRole && index.column() == 0) return row.ticked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool DeletedFilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.column() != 0) return false;
    ListRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::CheckStateRole) {
        row.ticked = value.value<Qt::CheckState>() == Qt::Checked;
    } else if (role == Qt::EditRole) {
        // The edited caption is the record position a recovery reads.
        row.cells[0] = value.toString().toStdString();
    } else {
        return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

QVariant DeletedFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kListColumnCount)
        return {};
    return ListColumnCaption(static_cast<ListColumn>(section));
}

Qt::ItemFlags DeletedFilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    return flags;
}

void DeletedFilesModel::AppendRows(std::vector<DeletedFileRow> rows) {
    if (rows.empty()) return;
    beginInsertRows({}, Count(), Count() + static_cast<int>(rows.size()) - 1);
    // No reserve: growing by exactly one batch would copy the whole list at
    // every batch and hold two copies of it at once.
    for (DeletedFileRow& row : rows) {
        rows_.push_back({{std::move(row.position_text), std::move(row.name), std::move(row.type),
                          std::move(row.size_text), std::move(row.created_text), std::move(row.modified_text)},
                         false});
    }
    endInsertRows();
}

void DeletedFilesModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void DeletedFilesModel::SetAllTicked(bool ticked) {
    if (rows_.empty()) return;
    for (ListRow& row : rows_) row.ticked = ticked;
    emit dataChanged(index(0, 0), index(Count() - 1, 0), {Qt::CheckStateRole});
}

void DeletedFilesModel::Reorder(const std::vector<std::uint32_t>& order) {
    std::vector<ListRow> sorted;
    sorted.reserve(rows_.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(rows_[i]));
    // A reset rather than a layout change: with no persistent indexes to
    // carry over, 200,000 rows reorder in one pass.
    beginResetModel();
    rows_ = std::move(sorted);
    endResetModel();
}

}  // namespace verandol
