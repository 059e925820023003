// Carving through the real window: a volume whose deleted files' records
// were given to later files, so only their content finds them. The truth
// says where each file began, how whole it is and its SHA-256.
#include <fstream>
#include <map>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTest>

#include <nlohmann/json.hpp>

#include "gui_test_support.h"
#include "text/type_groups.h"
#include "ui/carve_controls.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_entries.h"
#include "ui/filter_bar.h"
#include "ui/uMain.h"

using namespace verandol::test;
using verandol::ListColumn;

namespace {

const QString kImage = QStringLiteral("carve.img");

struct CarveTruth {
    std::string name;
    std::string check;  // verified, complete, damaged (found, never called whole), absent (in use)
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;

    // The name the carve pass gives it: after the cluster it begins in.
    std::string CarvedName() const {
        return "f" + std::to_string(first_cluster) + name.substr(name.rfind('.'));
    }
    // What the "Check" column must say.
    std::string ShownCheck() const { return check == "damaged" ? "incomplete" : check; }
};

std::vector<CarveTruth> LoadTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve.carve.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    std::vector<CarveTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("check"), f.at("sha256"), f.at("size"), f.at("first_cluster")});
    return files;
}

const std::string& Cell(const verandol::ListRow& row, ListColumn column) {
    return row.cells[static_cast<std::size_t>(column)];
}

// The row shown under `name`, or null.
const verandol::ListRow* RowNamed(const TMainForm& form, const std::string& name) {
    for (int i = 0; i < form.Rows()->Count(); ++i)
        if (Cell(form.Rows()->Row(i), ListColumn::FileName) == name) return &form.Rows()->Row(i);
    return nullptr;
}

// The carved row of `file`, found at its first cluster whatever it is
// named (after the cluster, or as the volume still remembers it), or null.
const verandol::ListRow* CarvedRowOf(const TMainForm& form, const CarveTruth& file) {
    for (int i = 0; i < form.Rows()->Count(); ++i) {
        const verandol::ListRow& row = form.Rows()->Row(i);
        if (row.carved && row.carved_extent.position == file.first_cluster * 4096) return &row;
    }
    return nullptr;
}

int CarvedRows(const TMainForm& form) {
    int carved = 0;
    for (int i = 0; i < form.Rows()->Count(); ++i) carved += form.Rows()->Row(i).carved;
    return carved;
}

bool SelectImage(TMainForm& form) {
    const auto items = form.DriveList->findItems(kImage, Qt::MatchExactly);
    if (items.size() != 1) return false;
    items.first()->setSelected(true);
    return true;
}

// Scans the image without carving, then takes the offer to carve it.
bool ScanThenCarve(TMainForm& form) {
    if (!SelectImage(form)) return false;
    // The walk finds no deleted file, and says so in a box.
    MessageCapture nothing_found;
    form.btnScan->click();
    if (!WaitForScan(form) || nothing_found.shown.size() != 1 || form.Carving->Offer->isHidden()) return false;
    form.Carving->OfferButton->click();
    return WaitForScan(form);
}

}  // namespace

class CarveWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void carvingListsTheFilesTheWalkCannotWithTheirChecks();
    void kindFilterNarrowsEveryRowByItsType();
    void tickedCarvedRowsAreRecoveredByteExactIntoKindFolders();
    void stopMidCarveKeepsTheRowsFoundSoFar();
    void aVolumeThatIsNoLongerNtfsIsCarvedWhole();

private:
    QTemporaryDir volumes_;
    std::vector<CarveTruth> truth_ = LoadTruth();
};

void CarveWindowTest::initTestCase() {
    QVERIFY(volumes_.isValid());
    QVERIFY(StageImage(volumes_.path(), "carve", kImage));
}

void CarveWindowTest::carvingListsTheFilesTheWalkCannotWithTheirChecks() {
    TMainForm form;
    QVERIFY(!form.Carving->Button->toolTip().isEmpty());
    QVERIFY(SelectImage(form));
    {
        MessageCapture nothing_found;
        form.btnScan->click();
        QVERIFY(WaitForScan(form));
        QCOMPARE(nothing_found.shown.size(), std::size_t{1});
    }
    // The walk alone lists none of them, and so offers the carve.
    for (const CarveTruth& file : truth_) QVERIFY2(!RowNamed(form, file.name), file.name.c_str());
    QVERIFY(!form.Carving->Offer->isHidden());
    QVERIFY(form.ListView1->isColumnHidden(static_cast<int>(ListColumn::Check)));
    const int walked = form.Rows()->Count();

    form.Carving->OfferButton->click();
    QVERIFY(WaitForScan(form));
    QVERIFY(form.Carving->Offer->isHidden());
    QVERIFY(!form.ListView1->isColumnHidden(static_cast<int>(ListColumn::Check)));
    QVERIFY(!form.ListView1->isColumnHidden(static_cast<int>(ListColumn::Kind)));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());
    // The bar no longer speaks of carving once the pass is over.
    QVERIFY(!form.PB->format().startsWith(QStringLiteral("Carving free space")));

    int expected = 0;
    for (const CarveTruth& file : truth_) {
        const verandol::ListRow* row = CarvedRowOf(form, file);
        if (file.check == "absent") {
            QVERIFY2(!row, "a file in use holds its clusters: they are not searched");
            continue;
        }
        ++expected;
        QVERIFY2(row, file.name.c_str());
        QVERIFY(row->carved);
        // Named as the volume remembers it (torn.jpg, in its folder's index
        // slack), else after its cluster.
        const std::string& shown_name = Cell(*row, ListColumn::FileName);
        QVERIFY2(shown_name == file.CarvedName() || shown_name == file.name, shown_name.c_str());
        QCOMPARE(Cell(*row, ListColumn::Check), file.ShownCheck());
        QCOMPARE(Cell(*row, ListColumn::Kind),
                 std::string(verandol::TypeGroupName(verandol::TypeGroupOf(file.name.substr(file.name.rfind('.'))))));
        if (file.check != "damaged") QCOMPARE(row->size, file.size);
        // Times only where a remembered entry gave its name; no share of its clusters.
        QCOMPARE(Cell(*row, ListColumn::CreateDate).empty(), shown_name == file.CarvedName());
        QVERIFY(Cell(*row, ListColumn::Recoverable).empty());
    }
    QCOMPARE(CarvedRows(form), expected);
    QCOMPARE(form.Rows()->Count(), walked + expected);
    // The rows the walk listed keep an empty check; a carved file is not "unchecked".
    for (int i = 0; i < form.Rows()->Count(); ++i)
        if (!form.Rows()->Row(i).carved) QVERIFY(Cell(form.Rows()->Row(i), ListColumn::Check).empty());
    QCOMPARE(form.Rows()->UnknownShareCount(), 0);
}

void CarveWindowTest::kindFilterNarrowsEveryRowByItsType() {
    TMainForm form;
    QVERIFY(ScanThenCarve(form));
    const int all = form.Rows()->Count();
    std::map<std::string, int> by_kind;
    for (int i = 0; i < all; ++i) ++by_kind[Cell(form.Rows()->Row(i), ListColumn::Kind)];
    // photo.jpg, picture.png and torn.jpg at least; zips and the gzip are archives.
    QVERIFY(by_kind["Photos"] >= 3);
    QVERIFY(by_kind["Archives"] >= 3);

    // Escape hides only a bar that is shown, so the window is shown too.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ShowFilterBar();
    QComboBox* kind = form.FilterBar1->Kind;
    for (const char* group : {"Photos", "Archives", "Documents", "Audio"}) {
        kind->setCurrentIndex(kind->findText(QString::fromLatin1(group)));
        QCOMPARE(form.Rows()->Count(), by_kind[group]);
        for (int i = 0; i < form.Rows()->Count(); ++i)
            QCOMPARE(Cell(form.Rows()->Row(i), ListColumn::Kind), std::string(group));
    }
    // With another field it narrows further; "All kinds" and Escape give every row back.
    kind->setCurrentIndex(kind->findText(QStringLiteral("Photos")));
    form.FilterBar1->Text->setText(QStringLiteral(".png"));
    QCOMPARE(form.Rows()->Count(), 1);
    form.FilterBar1->Text->clear();
    kind->setCurrentIndex(0);
    QCOMPARE(form.Rows()->Count(), all);
    kind->setCurrentIndex(kind->findText(QStringLiteral("Video")));
    QCOMPARE(form.Rows()->Count(), by_kind["Video"]);
    form.HideFilterBar();
    QCOMPARE(form.Rows()->Count(), all);
    QCOMPARE(kind->currentIndex(), 0);
}

void CarveWindowTest::tickedCarvedRowsAreRecoveredByteExactIntoKindFolders() {
    TMainForm form;
    QVERIFY(ScanThenCarve(form));
    for (int i = 0; i < form.Rows()->Count(); ++i)
        if (form.Rows()->Row(i).carved)
            form.Rows()->setData(form.Rows()->index(i, 0), Qt::Checked, Qt::CheckStateRole);
    QTemporaryDir out;
    QVERIFY(out.isValid());
    form.DLB->SetDirectory(out.path());
    form.rb1->setChecked(true);
    MessageCapture capture;
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));

    int whole = 0, damaged = 0, in_kind_folders = 0;
    std::vector<std::string> damaged_names;
    for (const CarveTruth& file : truth_) {
        if (file.check == "absent") continue;
        const verandol::ListRow* row = CarvedRowOf(form, file);
        QVERIFY2(row, file.name.c_str());
        const QString name = QString::fromStdString(Cell(*row, ListColumn::FileName));
        // A file with no folder of its own goes into its kind's folder; one
        // the volume remembers in a folder is named as any other row.
        const QString kind = QString::fromLatin1(verandol::TypeGroupName(
            verandol::TypeGroupOf(file.name.substr(file.name.rfind('.')))));
        const bool in_kind_folder = Cell(*row, ListColumn::Folder).empty();
        in_kind_folders += in_kind_folder;
        const QString path = out.filePath(in_kind_folder ? kind + "/" + name : name);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        if (file.check == "damaged") {
            ++damaged;
            damaged_names.push_back(name.toStdString());
            continue;
        }
        ++whole;
        QCOMPARE(Sha256OfFile(path).toStdString(), file.sha256);
    }
    QVERIFY(in_kind_folders > 0);
    // Nothing else lands beside the kind folders.
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), whole + damaged - in_kind_folders);
    // The damaged files are written, but reported incomplete with a reason;
    // the whole ones are written.
    QCOMPARE(form.RecoveryNote->text().left(form.RecoveryNote->text().indexOf(QStringLiteral(", in "))),
             QStringLiteral("Recovery: %1 written, %2 incomplete").arg(whole).arg(damaged));
    QCOMPARE(capture.shown.size(), std::size_t{1});
    for (const std::string& name : damaged_names)
        QVERIFY2(capture.shown[0].text.contains(QString::fromStdString(name)), qPrintable(capture.shown[0].text));
}

void CarveWindowTest::stopMidCarveKeepsTheRowsFoundSoFar() {
    TMainForm form;
    QVERIFY(SelectImage(form));
    // The worker waits for the window to take each batch of rows, so a stop
    // pressed as the first carved row arrives lands inside the carve pass.
    bool bar_spoke_of_carving = false;
    connect(form.Rows(), &QAbstractItemModel::rowsInserted, &form, [&] {
        if (CarvedRows(form) == 0 || form.StopScan()) return;
        bar_spoke_of_carving = form.PB->isTextVisible() && form.PB->format().startsWith("Carving free space");
        form.btnScan->click();
    });
    MessageCapture stopped;
    form.Carving->Button->click();
    QVERIFY(form.Scanning());
    QVERIFY(WaitForScan(form));
    QVERIFY(form.StopScan());
    QCOMPARE(stopped.shown.size(), std::size_t{1});
    QVERIFY2(stopped.shown[0].text.startsWith(QStringLiteral("The scan was stopped.")),
             qPrintable(stopped.shown[0].text));
    QVERIFY(bar_spoke_of_carving);
    const int carved = CarvedRows(form);
    int carvable = 0;
    for (const CarveTruth& file : truth_) carvable += file.check != "absent";
    QVERIFY(carved >= 1);
    QVERIFY2(carved < carvable, "the stop ended the pass early");
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());
    // A stopped scan is not offered a carve.
    QVERIFY(form.Carving->Offer->isHidden());
}

void CarveWindowTest::aVolumeThatIsNoLongerNtfsIsCarvedWhole() {
    // Both boot sectors gone: discovery finds no file system, and the scan
    // cannot begin, so every sector is carved and names count sectors.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString wiped = folder.filePath(QStringLiteral("wiped.img"));
    const std::string image = verandol::testing::FixtureImagePath("carve");
    const auto size = static_cast<std::int64_t>(QFileInfo(QString::fromStdString(image)).size());
    verandol::testing::WriteZeroedCopy(image, wiped.toStdString(), {{0, 512}, {size - 512, 512}});
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    TMainForm form;
    QVERIFY(QDir::setCurrent(before));
    const auto items = form.DriveList->findItems(QStringLiteral("wiped.img"), Qt::MatchStartsWith);
    QCOMPARE(items.size(), 1);
    QVERIFY(items.first()->data(verandol::kOtherRole).toBool());
    items.first()->setSelected(true);
    form.Carving->Button->click();
    QVERIFY(WaitForScan(form));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());
    QVERIFY2(form.RecoveryNote->text().contains(QStringLiteral("every sector of it is carved")),
             qPrintable(form.RecoveryNote->text()));

    constexpr std::int64_t kSectorsPerCluster = 4096 / 512;
    std::vector<std::string> whole;
    for (const CarveTruth& file : truth_) {
        if (file.check != "verified" && file.check != "complete") continue;
        CarveTruth by_sector = file;
        by_sector.first_cluster = file.first_cluster * kSectorsPerCluster;
        const verandol::ListRow* row = RowNamed(form, by_sector.CarvedName());
        QVERIFY2(row, by_sector.CarvedName().c_str());
        QCOMPARE(Cell(*row, ListColumn::Check), file.check);
        form.Rows()->setData(form.Rows()->index(static_cast<int>(row - &form.Rows()->Row(0)), 0), Qt::Checked,
                             Qt::CheckStateRole);
        whole.push_back(by_sector.CarvedName());
    }
    QTemporaryDir out;
    QVERIFY(out.isValid());
    form.DLB->SetDirectory(out.path());
    MessageCapture recovered;
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(recovered.shown.size(), std::size_t{1});
    for (const CarveTruth& file : truth_) {
        if (file.check != "verified" && file.check != "complete") continue;
        CarveTruth by_sector = file;
        by_sector.first_cluster = file.first_cluster * kSectorsPerCluster;
        const QString kind = QString::fromLatin1(verandol::TypeGroupName(
            verandol::TypeGroupOf(file.name.substr(file.name.rfind('.')))));
        QCOMPARE(Sha256OfFile(out.filePath(kind + "/" + QString::fromStdString(by_sector.CarvedName()))).toStdString(),
                 file.sha256);
    }
}

VERANDOL_GUI_TEST_MAIN(CarveWindowTest)

#include "tst_carve_window.moc"
