// The deleted-files list: its model contract, the sort order and its cost.
#include <algorithm>

#include <QAbstractItemModelTester>
#include <QTest>
#include <QTreeView>

#include "gui_test_support.h"
#include "recover/recovery_report.h"
#include "ui/deleted_files_model.h"
#include "ui/list_text_compare.h"
#include "ui/uMain.h"

using verandol::DeletedFileRow;

namespace {

DeletedFileRow MakeRow(int n) {
    DeletedFileRow row;
    row.position_text = "0x" + std::to_string(0x4000 + n * 0x400);
    row.name = "file" + std::to_string(n) + ".txt";
    row.type = ".txt";
    row.size = n * 7;
    row.size_text = std::to_string(row.size);
    row.created_text = "1/2/24 3:04:05 pm";
    row.modified_text = "1/2/24 3:04:06 pm";
    return row;
}

// A row whose every column holds `text`, so one list serves every column.
DeletedFileRow RowOfText(const std::string& text) {
    DeletedFileRow row;
    row.position_text = row.name = row.type = row.size_text = row.created_text = row.modified_text = text;
    return row;
}

std::vector<std::string> Column(const verandol::DeletedFilesModel& model, int column) {
    std::vector<std::string> texts;
    for (int i = 0; i < model.Count(); ++i) texts.push_back(model.Row(i).cells[static_cast<std::size_t>(column)]);
    return texts;
}

}  // namespace

class ListModelTest : public QObject {
    Q_OBJECT
private slots:
    void modelKeepsItsContractThroughEveryChange();
    void aWithdrawnRowLeavesWhileTheOthersKeepTheirPlaces();
    void aRenamedRowKeepsItsPlaceAndItsTick();
    void ticksAndEditsAreOnTheFirstColumnOnly();
    void aTickIsSetToTheStateGivenNotToggled();
    void sortOrdersTextColumnsAsText_data();
    void sortOrdersTextColumnsAsText();
    void sortOnEmptyOrSingleListOnlyRemembersTheColumn();
    void twoHundredThousandRowsAppendAndSortInOrder();
    void reportListsTenFailuresThenTheRest();
};

void ListModelTest::modelKeepsItsContractThroughEveryChange() {
    verandol::DeletedFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.AppendRows({MakeRow(3), MakeRow(1)});
    model.AppendRows({});
    model.AppendRows({MakeRow(2)});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), verandol::kShownColumnCount);  // the six designed, Folder, Recoverable
    model.SetAllTicked(true);
    QVERIFY(model.setData(model.index(1, 0), QStringLiteral("0x10"), Qt::EditRole));
    model.SortByColumn(1, verandol::CompareListTexts);
    QCOMPARE(Column(model, 1), (std::vector<std::string>{"file1.txt", "file2.txt", "file3.txt"}));
    // The ticks and the edit travelled with their rows.
    QCOMPARE(model.Row(0).cells[0], std::string("0x10"));
    QVERIFY(model.Row(2).ticked);
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
}

// A deep scan replaces a row by a newer copy of its record: the row goes,
// the counts drop, and every other row keeps its ordinal (what the recovery
// and the folders find it by), sorted or filtered as the list may be.
void ListModelTest::aWithdrawnRowLeavesWhileTheOthersKeepTheirPlaces() {
    verandol::DeletedFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::vector<DeletedFileRow> rows{MakeRow(3), MakeRow(1), MakeRow(2), MakeRow(4)};
    for (DeletedFileRow& row : rows) row.recoverable = 100;
    rows[3].deleted = false;
    model.AppendRows(std::move(rows));
    model.SortByColumn(1, verandol::CompareListTexts);
    model.SetFolders({"/c", "/a", "/b", "/d"});
    QCOMPARE(model.DeletedCount(), 3);
    model.WithdrawRows({1, 3});
    QCOMPARE(model.Count(), 2);
    QCOMPARE(model.DeletedCount(), 2);
    QCOMPARE(model.RecoverableCount(), 2);
    QCOMPARE(Column(model, 1), (std::vector<std::string>{"file2.txt", "file3.txt"}));
    QVERIFY(model.RowByOrdinal(1) == nullptr);
    QVERIFY(model.RowByOrdinal(3) == nullptr);
    QCOMPARE(model.RowByOrdinal(0)->cells[static_cast<std::size_t>(verandol::ListColumn::Folder)], std::string("/c"));
    QCOMPARE(model.RowByOrdinal(2)->cells[1], std::string("file2.txt"));
    model.AppendRows({MakeRow(5)});
    QCOMPARE(model.RowByOrdinal(4)->cells[1], std::string("file5.txt"));
}

// A carved row named once the volume's memory is read keeps its place in
// the list and its tick, and the filter judges it by its new name.
void ListModelTest::aRenamedRowKeepsItsPlaceAndItsTick() {
    verandol::DeletedFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.AppendRows({MakeRow(1), MakeRow(2), MakeRow(3)});
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    verandol::RowFilter filter;
    filter.name_glob = "*.jpg";
    model.SetFilter(filter);
    QCOMPARE(model.Count(), 0);
    DeletedFileRow named = MakeRow(2);
    named.name = "IMG_1046.jpg";
    named.type = ".jpg";
    named.folder = "/Photos/2020";
    model.RenameRows({1}, {named});
    QCOMPARE(model.Count(), 1);
    model.SetFilter({});
    QCOMPARE(Column(model, 1), (std::vector<std::string>{"file1.txt", "IMG_1046.jpg", "file3.txt"}));
    QCOMPARE(model.Row(1).cells[static_cast<std::size_t>(verandol::ListColumn::Folder)], std::string("/Photos/2020"));
    QCOMPARE(model.Row(1).cells[static_cast<std::size_t>(verandol::ListColumn::Kind)], std::string("Photos"));
    QVERIFY(model.Row(1).ticked);
    QCOMPARE(model.Ticked().files, 1);
}

void ListModelTest::ticksAndEditsAreOnTheFirstColumnOnly() {
    verandol::DeletedFilesModel model;
    model.AppendRows({MakeRow(1)});
    QVERIFY(model.flags(model.index(0, 0)).testFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    QVERIFY(!model.flags(model.index(0, 1)).testAnyFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    QCOMPARE(model.data(model.index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    QVERIFY(!model.data(model.index(0, 1), Qt::CheckStateRole).isValid());
    QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("x"), Qt::EditRole));
    QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.Row(0).ticked);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Record Positon"));
    QCOMPARE(model.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Last Modify Date"));
}

void ListModelTest::aTickIsSetToTheStateGivenNotToggled() {
    verandol::DeletedFilesModel model;
    model.AppendRows({MakeRow(1)});
    const QModelIndex tick = model.index(0, 0);
    for (const Qt::CheckState state : {Qt::Unchecked, Qt::Checked, Qt::Checked, Qt::Unchecked, Qt::Unchecked}) {
        QVERIFY(model.setData(tick, state, Qt::CheckStateRole));
        QCOMPARE(model.Row(0).ticked, state == Qt::Checked);
        QCOMPARE(model.data(tick, Qt::CheckStateRole).value<Qt::CheckState>(), state);
    }
}

void ListModelTest::sortOrdersTextColumnsAsText_data() {
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("100 before 20") << QStringList{"20", "3", "100"} << QStringList{"100", "20", "3"};
    QTest::newRow("0x1000 before 0x200") << QStringList{"0x200", "0x1000"} << QStringList{"0x1000", "0x200"};
    QTest::newRow("underscore after letters, digits before")
        << QStringList{"b_x", "bay", "b1", "BAX"} << QStringList{"b1", "BAX", "bay", "b_x"};
    // Rows equal but for case keep the order they were added in.
    QTest::newRow("case only differs") << QStringList{"same", "SAME", "Same"} << QStringList{"same", "SAME", "Same"};
    QTest::newRow("shorter first") << QStringList{"abc", "ab", ""} << QStringList{"", "ab", "abc"};
    // é is C3 A9 and not folded, so it sorts after every ASCII letter, É (C3 89) before it.
    QTest::newRow("non-ASCII by byte") << QStringList{"été", "z", "ÉTÉ"} << QStringList{"z", "ÉTÉ", "été"};
    QTest::newRow("texts that look like dates") << QStringList{"2/1/24 1:00:00 am", "12/1/23 1:00:00 am"}
                                                << QStringList{"12/1/23 1:00:00 am", "2/1/24 1:00:00 am"};
}

// The position, name and type; sizes and dates sort by their values.
void ListModelTest::sortOrdersTextColumnsAsText() {
    QFETCH(QStringList, added);
    QFETCH(QStringList, sorted);
    std::vector<std::string> expected;
    for (const QString& text : sorted) expected.push_back(text.toStdString());
    std::vector<DeletedFileRow> rows;
    for (const QString& text : added) rows.push_back(RowOfText(text.toStdString()));
    TMainForm form;
    using verandol::ListColumn;
    for (const ListColumn text : {ListColumn::RecordPosition, ListColumn::FileName, ListColumn::FileType}) {
        const int column = static_cast<int>(text);
        form.Rows()->Clear();
        form.AddDeletedFileRow(rows);
        form.ListView1ColumnClick(column);
        QCOMPARE(form.SortColumn, column);
        QCOMPARE(Column(*form.Rows(), column), expected);
        // Again: the other way, rows that compare equal keeping their order.
        form.ListView1ColumnClick(column);
        std::vector<std::string> reversed = Column(*form.Rows(), column);
        std::stable_sort(reversed.begin(), reversed.end(), [](const std::string& a, const std::string& b) {
            return verandol::CompareListTexts(a, b) < 0;
        });
        QCOMPARE(reversed, expected);
        if (verandol::CompareListTexts(expected.front(), expected.back()) != 0)
            QCOMPARE(Column(*form.Rows(), column).front(), expected.back());
    }
}

void ListModelTest::sortOnEmptyOrSingleListOnlyRemembersTheColumn() {
    TMainForm form;
    form.ListView1ColumnClick(3);
    QCOMPARE(form.SortColumn, 3);
    QCOMPARE(form.Rows()->Count(), 0);
    form.AddDeletedFileRow({MakeRow(1)});
    form.ListView1ColumnClick(2);
    QCOMPARE(form.Rows()->Row(0).cells[1], std::string("file1.txt"));
}

void ListModelTest::twoHundredThousandRowsAppendAndSortInOrder() {
    constexpr int kRows = 200000;
    std::vector<std::vector<DeletedFileRow>> batches;
    for (int first = 0; first < kRows; first += 1024) {
        batches.emplace_back();
        for (int n = first; n < std::min(kRows, first + 1024); ++n) batches.back().push_back(MakeRow(kRows - n));
    }
    TMainForm form;
    form.show();
    for (auto& batch : batches) {
        form.AddDeletedFileRow(std::move(batch));
        QCoreApplication::processEvents();
    }
    form.ListView1ColumnClick(3);
    form.ListView1->scrollToBottom();
    QCoreApplication::processEvents();
    QCOMPARE(form.Rows()->Count(), kRows);
    for (int i = 1; i < kRows; ++i) QVERIFY(form.Rows()->Row(i - 1).size <= form.Rows()->Row(i).size);
    form.ListView1ColumnClick(1);
    for (int i = 1; i < kRows; ++i)
        QVERIFY(verandol::CompareListTexts(form.Rows()->Row(i - 1).cells[1], form.Rows()->Row(i).cells[1]) <= 0);
}

void ListModelTest::reportListsTenFailuresThenTheRest() {
    QVERIFY(verandol::RecoveryReport(3, 3, {}).empty());
    std::vector<verandol::RecoveryFailure> failures;
    for (int i = 0; i < 12; ++i) {
        const std::string n = std::to_string(i);
        failures.push_back({"f" + n, "0x" + n, i == 0, "reason" + n});
    }
    const QString report = QString::fromStdString(verandol::RecoveryReport(15, 3, failures));
    QVERIFY(report.startsWith(QStringLiteral("3 of 15 ticked files were recovered.")));
    QVERIFY(report.contains(QStringLiteral("f0 (0x0): written incomplete, reason0")));
    QVERIFY(report.contains(QStringLiteral("f9 (0x9): not written, reason9")));
    QVERIFY(!report.contains(QStringLiteral("f10")));
    QVERIFY(report.endsWith(QStringLiteral("and 2 more")));
}

VERANDOL_GUI_TEST_MAIN(ListModelTest)
#include "tst_list_model.moc"
