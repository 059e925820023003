// The folder volume in the window: the Folder and Recoverable columns, the
// filter bar (Ctrl+F, Check All on the rows shown, Escape), Keep Folders and
// the note a recovery leaves.
#include <map>

#include <QCheckBox>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "gui_test_support.h"
#include "text/record_texts.h"
#include "recover/kept_folders.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/filter_bar.h"
#include "ui/uMain.h"

using namespace verandol::test;
using verandol::ListColumn;

namespace {

const char* const kImage = "folders.img";

verandol::testing::Manifest FolderManifest() { return verandol::testing::LoadManifestFile("folders.folders.json"); }

std::string Cell(const TMainForm& form, int row, ListColumn column) {
    return form.Rows()->Row(row).cells[static_cast<std::size_t>(column)];
}

int Ticked(const TMainForm& form) {
    int ticked = 0;
    for (int i = 0; i < form.Rows()->Count(); ++i) ticked += form.Rows()->Row(i).ticked;
    return ticked;
}

bool ScanFolderImage(TMainForm& form) { return ScanListedImage(form, QString::fromLatin1(kImage)); }

// Scans the folder volume and readies a recovery of every row into `out`
// with the save option `option` of the form.
bool ScanAndTickAll(TMainForm& form, const QString& out, QRadioButton* TMainForm::*option) {
    if (!ScanFolderImage(form)) return false;
    form.DLB->SetDirectory(out);
    (form.*option)->setChecked(true);
    form.CheckBox1->click();
    return true;
}

// The manifest's deleted files by the caption of their row.
std::map<std::string, verandol::testing::ManifestFile> ByPosition(const verandol::testing::Manifest& manifest) {
    std::map<std::string, verandol::testing::ManifestFile> found;
    for (const auto& file : manifest.Deleted())
        found[verandol::PositionCaption(manifest.RecordPosition(file.mft_record))] = file;
    return found;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace

class FoldersWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsShowTheirFolderAndShare();
    void filterBarNarrowsTheListAndEscapeRestoresIt();
    void keepFoldersRebuildsTheTreeAndLeavesANote();
    void sameNamesInOneRecoveryAreKeptApart();
    void sortDuringRecoveryHandlesEachRowOnce();

private:
    QTemporaryDir volumes_;
};

void FoldersWindowTest::initTestCase() {
    QVERIFY(volumes_.isValid());
    QVERIFY(StageImage(volumes_.path(), "folders", QString::fromLatin1(kImage)));
}

void FoldersWindowTest::rowsShowTheirFolderAndShare() {
    TMainForm form;
    QVERIFY(ScanFolderImage(form));
    const auto manifest = FolderManifest();
    QCOMPARE(form.Rows()->Count(), static_cast<int>(manifest.Deleted().size()));
    std::map<std::string, const verandol::testing::ManifestFile*> by_position;
    for (const auto& file : manifest.files)
        if (file.deleted) by_position[verandol::PositionCaption(manifest.RecordPosition(file.mft_record))] = &file;
    int whole = 0;
    for (int row = 0; row < form.Rows()->Count(); ++row) {
        const auto* file = by_position.at(Cell(form, row, ListColumn::RecordPosition));
        QCOMPARE(Cell(form, row, ListColumn::Folder), *file->folder);
        QCOMPARE(Cell(form, row, ListColumn::Recoverable), std::to_string(*file->recoverable) + "%");
        whole += *file->recoverable == 100;
        const QVariant colour = form.Rows()->data(form.Rows()->index(row, 1), Qt::ForegroundRole);
        QCOMPARE(colour.isValid(), *file->recoverable == 0);  // only a 0% row is muted
    }
    QCOMPARE(form.RecoverableFileCount->text(), QStringLiteral("Recoverable Files: %1").arg(whole));
    // The share sorts as a number, not as text ("100%" before "60%").
    emit form.ListView1->header()->sectionClicked(static_cast<int>(ListColumn::Recoverable));
    for (int row = 1; row < form.Rows()->Count(); ++row)
        QVERIFY(form.Rows()->Row(row - 1).recoverable <= form.Rows()->Row(row).recoverable);
    QCOMPARE(Cell(form, 0, ListColumn::Recoverable), std::string("0%"));
}

void FoldersWindowTest::filterBarNarrowsTheListAndEscapeRestoresIt() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(ScanFolderImage(form));
    const int all = form.Rows()->Count();
    QVERIFY(!form.FilterBar1->isVisible());
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(form.FilterBar1->isVisible());
    // Typing narrows as it goes, by name or folder, ignoring case.
    QTest::keyClicks(form.FilterBar1->Text, QStringLiteral("FERIEN"));
    QCOMPARE(form.Rows()->Count(), 2);
    for (int row = 0; row < 2; ++row) QVERIFY(Cell(form, row, ListColumn::Folder).ends_with("Ferien-Übersicht"));
    form.FilterBar1->Text->setText(QStringLiteral("report"));
    QCOMPARE(form.Rows()->Count(), 2);
    QTest::keyClicks(form.FilterBar1->MinimumSize, QStringLiteral("7000"));
    QCOMPARE(form.Rows()->Count(), 1);
    QCOMPARE(Cell(form, 0, ListColumn::Folder), std::string("/Users/ann/Documents"));

    // Check All ticks only the rows shown.
    form.FilterBar1->Text->clear();
    form.FilterBar1->MinimumSize->clear();
    form.FilterBar1->RecoverableOnly->setChecked(true);
    const int shown = form.Rows()->Count();
    QVERIFY(shown > 0 && shown < all);
    form.CheckBox1->click();
    QCOMPARE(Ticked(form), shown);
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: %1").arg(all));

    QTest::keyClick(form.FilterBar1->Text, Qt::Key_Escape);
    QVERIFY(!form.FilterBar1->isVisible());
    QCOMPARE(form.Rows()->Count(), all);
    QCOMPARE(Ticked(form), shown);  // the hidden rows were never ticked
    QVERIFY(form.FilterBar1->Text->text().isEmpty() && !form.FilterBar1->RecoverableOnly->isChecked());
}

void FoldersWindowTest::keepFoldersRebuildsTheTreeAndLeavesANote() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanAndTickAll(form, out.path(), &TMainForm::rbKeepFolders));
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));

    const auto manifest = FolderManifest();
    int incomplete = 0;
    for (const auto& file : manifest.Deleted()) {
        QString path = out.path();
        for (const std::string& part : verandol::KeptFolderComponents(*file.folder))
            path += "/" + QString::fromStdString(part);
        path += "/" + QString::fromStdString(file.name);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        if (*file.recoverable == 100)
            QCOMPARE(Sha256OfFile(path), QString::fromStdString(file.sha256));
        else
            ++incomplete;
    }
    // The reused files are written but reported, with why, in the failure box.
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.contains(QStringLiteral("in use by other files now")),
             qPrintable(messages.shown[0].text));
    QVERIFY(!form.RecoveryNote->isHidden());
    const QString note = form.RecoveryNote->text();
    QVERIFY2(note.contains(QStringLiteral("%1 written, %2 incomplete")
                               .arg(static_cast<int>(manifest.Deleted().size()) - incomplete)
                               .arg(incomplete)),
             qPrintable(note));
    QVERIFY2(note.contains(out.path()), qPrintable(note));
}

// Two deleted report.docx under "Overwrite Original": the file that was in
// the folder before is replaced, but the second report never replaces the
// first one this recovery wrote.
void FoldersWindowTest::sameNamesInOneRecoveryAreKeptApart() {
    MessageCapture messages;
    QTemporaryDir out;
    {
        QFile before(out.filePath(QStringLiteral("report.docx")));
        QVERIFY(before.open(QIODevice::WriteOnly) && before.write("there before") == 12);
    }
    TMainForm form;
    QVERIFY(ScanAndTickAll(form, out.path(), &TMainForm::rb1));
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));

    const auto by_position = ByPosition(FolderManifest());
    QCOMPARE(FilesIn(out.path()).size(), form.Rows()->Count());
    QStringList reports;
    for (int row = 0; row < form.Rows()->Count(); ++row) {
        const auto& file = by_position.at(Cell(form, row, ListColumn::RecordPosition));
        if (file.name != "report.docx") continue;
        reports << out.filePath(reports.empty() ? QStringLiteral("report.docx") : QStringLiteral("report (1).docx"));
        QCOMPARE(Sha256OfFile(reports.back()), QString::fromStdString(file.sha256));
    }
    QCOMPARE(reports.size(), 2);
    // The note counts exactly the files in the folder.
    int incomplete = 0;
    for (const auto& [caption, file] : by_position) incomplete += *file.recoverable != 100;
    QVERIFY2(form.RecoveryNote->text().contains(
                 QStringLiteral("%1 written, %2 incomplete").arg(form.Rows()->Count() - incomplete).arg(incomplete)),
             qPrintable(form.RecoveryNote->text()));
}

// A click on a column header while the recovery runs re-sorts the list; the
// recovery still takes each row once, in the order of the press, and reads a
// row's tick where the sort moved it.
void FoldersWindowTest::sortDuringRecoveryHandlesEachRowOnce() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanAndTickAll(form, out.path(), &TMainForm::rb2));
    std::vector<std::string> pressed;  // the captions in the order of the press
    for (int row = 0; row < form.Rows()->Count(); ++row) pressed.push_back(Cell(form, row, ListColumn::RecordPosition));
    const std::string unticked = pressed.at(3);

    bool sorted = false;
    // The first row's progress reaches the window before the worker's read of
    // the second row does.
    connect(form.PB, &QProgressBar::valueChanged, &form, [&](int value) {
        if (value != 1 || sorted) return;
        sorted = true;
        emit form.ListView1->header()->sectionClicked(static_cast<int>(ListColumn::FileName));
        for (int row = 0; row < form.Rows()->Count(); ++row)
            if (Cell(form, row, ListColumn::RecordPosition) == unticked)
                form.Rows()->setData(form.Rows()->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    });
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QVERIFY(sorted);
    QVERIFY(Cell(form, 0, ListColumn::RecordPosition) != pressed[0] ||
            Cell(form, 1, ListColumn::RecordPosition) != pressed[1]);

    const auto by_position = ByPosition(FolderManifest());
    QCOMPARE(FilesIn(out.path()).size(), static_cast<int>(pressed.size()) - 1);
    for (std::size_t number = 0; number < pressed.size(); ++number) {
        const QString path = out.filePath(QStringLiteral("File_%1").arg(number));
        const auto& file = by_position.at(pressed[number]);
        QCOMPARE(QFile::exists(path), pressed[number] != unticked);
        if (pressed[number] != unticked && *file.recoverable == 100)
            QCOMPARE(Sha256OfFile(path), QString::fromStdString(file.sha256));
    }
}

VERANDOL_GUI_TEST_MAIN(FoldersWindowTest)
#include "tst_folders_window.moc"
