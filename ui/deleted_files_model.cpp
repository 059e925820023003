#include "ui/deleted_files_model.h"

#include <algorithm>

#include <QColor>

#include "ntfs/checked_math.h"
#include "text/type_groups.h"

namespace verandol {

QString ListColumnCaption(ListColumn column) {
    const auto index = static_cast<std::size_t>(column);
    if (index < kDeletedFileColumnCaptions.size()) return QString::fromLatin1(kDeletedFileColumnCaptions[index]);
    if (index - kDeletedFileColumnCaptions.size() < kAddedColumnCaptions.size())
        return QString::fromLatin1(kAddedColumnCaptions[index - kDeletedFileColumnCaptions.size()]);
    if (column == ListColumn::Deleted) return QString::fromLatin1(kDeletedColumnCaption);
    if (column == ListColumn::Kind) return QStringLiteral("Kind");
    if (column == ListColumn::Check) return QStringLiteral("Check");
    return QString();
}

int ListColumnWidth(ListColumn column) {
    switch (column) {
        case ListColumn::RecordPosition: return 100;
        case ListColumn::FileName: return 200;
        case ListColumn::FileType: return 100;
        case ListColumn::FileSize: return 100;
        case ListColumn::CreateDate: return 160;
        case ListColumn::LastModifyDate: return 160;
        case ListColumn::Folder: return 240;
        case ListColumn::Recoverable: return 80;
        case ListColumn::Deleted: return 60;
        case ListColumn::Kind: return 90;
        case ListColumn::Check: return 90;
    }
    return 0;
}

int DeletedFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int DeletedFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kShownColumnCount;
}

QVariant DeletedFilesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const ListRow& row = Row(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(row.cells[static_cast<std::size_t>(index.column())]);
    if (role == Qt::CheckStateRole && index.column() == 0) return row.ticked ? Qt::Checked : Qt::Unchecked;
    // Nothing of a 0% file's data is left: its row recedes.
    if (role == Qt::ForegroundRole && row.recoverable == 0) return QColor(128, 128, 128);
    if (role == Qt::TextAlignmentRole && index.column() == static_cast<int>(ListColumn::Recoverable))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool DeletedFilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.column() != 0) return false;
    ListRow& row = rows_[Map(index.row())];
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kShownColumnCount)
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
    std::size_t accepted = rows.size();
    if (filtered_) {
        accepted = 0;
        for (const DeletedFileRow& row : rows) accepted += filter_.Accepts(row);
    }
    if (accepted > 0) beginInsertRows({}, Count(), Count() + static_cast<int>(accepted) - 1);
    // No reserve: growing by exactly one batch would copy the whole list at
    // every batch and hold two copies of it at once.
    for (DeletedFileRow& row : rows) {
        const bool shown = !filtered_ || filter_.Accepts(row);
        const std::string share = row.recoverable < 0 ? std::string() : std::to_string(row.recoverable) + "%";
        const char* const kind = TypeGroupName(TypeGroupOf(row.type));
        const char* const check = row.carved ? CarveCheckText(row.carved_extent.check) : "";
        CountRow(row.deleted, row.recoverable, row.carved, +1);
        rows_.push_back({{std::move(row.position_text), std::move(row.name), std::move(row.type),
                          std::move(row.size_text), std::move(row.created_text), std::move(row.modified_text),
                          std::move(row.folder), share, row.deleted ? "yes" : "no", kind, check},
                         false,
                         row.size,
                         row.recoverable,
                         static_cast<std::uint32_t>(places_.size()),
                         row.found_deep,
                         row.found,
                         row.carved,
                         row.carved_extent,
                         row.created_time,
                         row.modified_time});
        places_.push_back(static_cast<std::uint32_t>(rows_.size() - 1));
        if (filtered_ && shown) shown_.push_back(static_cast<std::uint32_t>(rows_.size() - 1));
    }
    if (accepted > 0) endInsertRows();
}

void DeletedFilesModel::SetFolders(std::vector<std::string> folders) {
    if (rows_.empty()) return;
    const auto folder_cell = static_cast<std::size_t>(ListColumn::Folder);
    for (ListRow& row : rows_)
        if (row.ordinal < folders.size()) row.cells[folder_cell] = std::move(folders[row.ordinal]);
    if (filtered_) {
        beginResetModel();
        RebuildShown();
        endResetModel();
    } else {
        emit dataChanged(index(0, static_cast<int>(folder_cell)), index(Count() - 1, static_cast<int>(folder_cell)),
                         {Qt::DisplayRole});
    }
}

void DeletedFilesModel::WithdrawRows(const std::vector<std::uint32_t>& ordinals) {
    std::vector<bool> gone(places_.size());
    for (const std::uint32_t ordinal : ordinals)
        if (ordinal < gone.size()) gone[ordinal] = true;
    beginResetModel();
    const auto deleted_cell = static_cast<std::size_t>(ListColumn::Deleted);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        ListRow& row = rows_[i];
        if (gone[row.ordinal]) {
            CountRow(row.cells[deleted_cell] == "yes", row.recoverable, row.carved, -1);
            places_[row.ordinal] = kNoPlace;
            continue;
        }
        places_[row.ordinal] = static_cast<std::uint32_t>(kept);
        if (kept != i) rows_[kept] = std::move(row);
        ++kept;
    }
    rows_.resize(kept);
    RebuildShown();
    endResetModel();
}

void DeletedFilesModel::RenameRows(const std::vector<std::uint32_t>& ordinals, std::vector<DeletedFileRow> rows) {
    const auto cell = [](ListRow& row, ListColumn column) -> std::string& {
        return row.cells[static_cast<std::size_t>(column)];
    };
    bool renamed = false;
    for (std::size_t i = 0; i < ordinals.size() && i < rows.size(); ++i) {
        if (ordinals[i] >= places_.size() || places_[ordinals[i]] == kNoPlace) continue;
        ListRow& row = rows_[places_[ordinals[i]]];
        DeletedFileRow& named = rows[i];
        cell(row, ListColumn::Kind) = TypeGroupName(TypeGroupOf(named.type));
        cell(row, ListColumn::FileName) = std::move(named.name);
        cell(row, ListColumn::FileType) = std::move(named.type);
        cell(row, ListColumn::CreateDate) = std::move(named.created_text);
        cell(row, ListColumn::LastModifyDate) = std::move(named.modified_text);
        cell(row, ListColumn::Folder) = std::move(named.folder);
        row.created_time = named.created_time;
        row.modified_time = named.modified_time;
        renamed = true;
    }
    if (!renamed) return;
    // A name may now pass the filter, or fail it.
    beginResetModel();
    RebuildShown();
    endResetModel();
}

void DeletedFilesModel::Clear() {
    beginResetModel();
    rows_.clear();
    places_.clear();
    shown_.clear();
    recoverable_count_ = 0;
    unknown_count_ = 0;
    deleted_count_ = 0;
    endResetModel();
}

void DeletedFilesModel::SetAllTicked(bool ticked) {
    if (Count() == 0) return;
    for (int i = 0; i < Count(); ++i) {
        ListRow& row = rows_[Map(i)];
        row.ticked = ticked && !row.InUse();
    }
    emit dataChanged(index(0, 0), index(Count() - 1, 0), {Qt::CheckStateRole});
}

bool DeletedFilesModel::AllShownTicked() const {
    bool any = false;
    for (int i = 0; i < Count(); ++i) {
        const ListRow& row = Row(i);
        if (row.InUse()) continue;
        if (!row.ticked) return false;
        any = true;
    }
    return any;
}

TickedTotals DeletedFilesModel::Ticked() const {
    TickedTotals totals;
    for (const ListRow& row : rows_) {
        if (!row.ticked) continue;
        ++totals.files;
        totals.bytes = SaturatingAdd(totals.bytes, std::max<std::int64_t>(row.size, 0));
    }
    int shown = 0;
    for (int i = 0; i < Count(); ++i) shown += Row(i).ticked;
    totals.hidden = totals.files - shown;
    return totals;
}

std::vector<std::uint32_t> DeletedFilesModel::Ordinals(bool hidden_too) const {
    std::vector<std::uint32_t> ordinals;
    const std::size_t count = hidden_too ? rows_.size() : static_cast<std::size_t>(Count());
    ordinals.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        ordinals.push_back(hidden_too ? rows_[i].ordinal : Row(static_cast<int>(i)).ordinal);
    return ordinals;
}

bool DeletedFilesModel::Accepts(const ListRow& row) const {
    return filter_.Accepts(row.cells[static_cast<std::size_t>(ListColumn::FileName)],
                           row.cells[static_cast<std::size_t>(ListColumn::Folder)], row.size, row.recoverable,
                           row.cells[static_cast<std::size_t>(ListColumn::FileType)]);
}

void DeletedFilesModel::CountRow(bool deleted, int recoverable, bool carved, int step) {
    recoverable_count_ += step * (deleted && recoverable == 100);
    // A carved file has no clusters of a record to judge; its content's
    // check speaks for it instead, so it is not counted unchecked.
    unknown_count_ += step * (deleted && !carved && recoverable == DeletedFileRow::kRecoverableUnknown);
    deleted_count_ += step * deleted;
}

void DeletedFilesModel::RebuildShown() {
    shown_.clear();
    if (!filtered_) return;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (Accepts(rows_[i])) shown_.push_back(static_cast<std::uint32_t>(i));
}

void DeletedFilesModel::SetFilter(RowFilter filter) {
    beginResetModel();
    filter_ = std::move(filter);
    filtered_ = !filter_.IsEmpty();
    RebuildShown();
    endResetModel();
}

void DeletedFilesModel::SortByRecoverable(bool descending) {
    SortRows([](const ListRow& a, const ListRow& b) { return a.recoverable < b.recoverable; }, descending);
}

void DeletedFilesModel::Reorder(const std::vector<std::uint32_t>& order) {
    std::vector<ListRow> sorted;
    sorted.reserve(rows_.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(rows_[i]));
    // A reset rather than a layout change: with no persistent indexes to
    // carry over, 200,000 rows reorder in one pass.
    beginResetModel();
    rows_ = std::move(sorted);
    for (std::size_t i = 0; i < rows_.size(); ++i) places_[rows_[i].ordinal] = static_cast<std::uint32_t>(i);
    RebuildShown();
    endResetModel();
}

}  // namespace verandol
