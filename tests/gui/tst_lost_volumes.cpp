// The window on volumes the walk of the MFT cannot read: a disk whose
// partition tables are wiped is searched for its volumes, which are then
// scanned and recovered like any other entry; a quick-formatted volume is
// deep scanned and its surviving files recovered to their hashes, while the
// files whose clusters later files took are never reported recovered.
#include <fstream>
#include <map>
#include <vector>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTest>

#include <nlohmann/json.hpp>

#include "gui_test_support.h"
#include "text/record_texts.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_entries.h"
#include "ui/scan_offer.h"
#include "ui/uMain.h"

using namespace verandol::test;
using verandol::ListColumn;

namespace {

// Answers every offer with `choice` and keeps what was offered.
class OfferAnswer {
public:
    explicit OfferAnswer(verandol::OfferChoice answer)
        : choice(answer), previous_(verandol::SetOfferInterceptor([this](const verandol::ScanOffer& offer) {
              offers.push_back(offer);
              return choice;
          })) {}
    ~OfferAnswer() { verandol::SetOfferInterceptor(std::move(previous_)); }
    verandol::OfferChoice choice;
    std::vector<verandol::ScanOffer> offers;

private:
    verandol::OfferInterceptor previous_;
};

nlohmann::json FormattedManifest(const std::string& name) {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/" + name + ".formatted.json");
    return nlohmann::json::parse(in);
}

// Ticks every row by hand: Check All leaves the files still in use, which
// a deep scan of a formatted volume lists too.
void TickEveryRow(TMainForm& form) {
    for (int i = 0; i < form.Rows()->Count(); ++i)
        form.Rows()->setData(form.Rows()->index(i, 0), Qt::Checked, Qt::CheckStateRole);
}

QString Cell(const verandol::ListRow& row, ListColumn column) {
    return QString::fromStdString(row.cells[static_cast<std::size_t>(column)]);
}

QListWidgetItem* Entry(const TMainForm& form, const QString& text) {
    const QList<QListWidgetItem*> found = form.DriveList->findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

}  // namespace

class LostVolumesTest : public QObject {
    Q_OBJECT
private slots:
    void aDeepScanOfAFormattedVolumeRecoversWhatSurvivedAndNoLess();
    void aSearchOfAWipedDiskListsItsVolumesWhichScanAndRecover();
    void aVolumeWhoseMftIsGoneLeadsToTheOffer();
    void filesNoBitmapCouldJudgeAreCountedApart();
    void aVolumeWhoseBootSectorIsZeroedIsListedAndScannedByItsBackup();
};

void LostVolumesTest::aDeepScanOfAFormattedVolumeRecoversWhatSurvivedAndNoLess() {
    QTemporaryDir folder;
    QVERIFY(StageImage(folder.path(), "formatted-same", QStringLiteral("formatted.img")));
    const nlohmann::json manifest = FormattedManifest("formatted-same");
    TMainForm form;
    QListWidgetItem* entry = Entry(form, QStringLiteral("formatted.img"));
    QVERIFY(entry);
    QVERIFY(!entry->data(verandol::kOtherRole).toBool());

    OfferAnswer answer(verandol::OfferChoice::DeepScan);
    MessageCapture messages;
    form.DriveList->setCurrentItem(entry);
    form.actOtherScans->trigger();
    QCOMPARE(answer.offers.size(), std::size_t{1});
    QCOMPARE(answer.offers[0].entry, QStringLiteral("formatted.img"));
    QVERIFY(!answer.offers[0].deep_time.isEmpty());
    QVERIFY(WaitForScan(form, 60000));
    QVERIFY2(messages.shown.empty(), messages.shown.empty() ? "" : qPrintable(messages.shown[0].text));

    // Every record of the earlier volume that survived, once, and nothing else.
    std::map<QString, const verandol::ListRow*> rows;
    for (int i = 0; i < form.Rows()->Count(); ++i) {
        const verandol::ListRow& row = form.Rows()->Row(i);
        QVERIFY2(rows.emplace(Cell(row, ListColumn::RecordPosition), &row).second, row.cells[0].c_str());
    }
    int surviving = 0, whole = 0;
    for (const auto& file : manifest.at("files")) {
        if (!file.at("record_survives").get<bool>()) continue;
        ++surviving;
        const QString position =
            QString::fromStdString(verandol::PositionCaption(file.at("record_offset").get<std::int64_t>()));
        const QString name = QString::fromStdString(file.at("name").get<std::string>());
        QVERIFY2(rows.count(position), qPrintable(name + " at " + position));
        const verandol::ListRow& row = *rows.at(position);
        QCOMPARE(Cell(row, ListColumn::FileName), name);
        QCOMPARE(Cell(row, ListColumn::FileSize), QString::number(file.at("size").get<std::int64_t>()));
        if (file.at("data_survives").get<bool>()) ++whole;
        else QVERIFY2(Cell(row, ListColumn::Recoverable) != QStringLiteral("100%"), qPrintable(name));
    }
    QCOMPARE(static_cast<int>(rows.size()), surviving);
    QVERIFY(whole > 0 && whole < surviving);
    QVERIFY(!form.ListView1->isColumnHidden(static_cast<int>(ListColumn::Deleted)));

    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    TickEveryRow(form);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form, 60000));
    for (const auto& file : manifest.at("files")) {
        if (!file.at("record_survives").get<bool>() || !file.at("data_survives").get<bool>()) continue;
        const QString name = QString::fromStdString(file.at("name").get<std::string>());
        QCOMPARE(Sha256OfFile(out.filePath(name)), QString::fromStdString(file.at("sha256").get<std::string>()));
    }
    // The others are written, as far as they go, but never counted recovered.
    QVERIFY2(form.RecoveryNote->text().startsWith(
                 QStringLiteral("Recovery: %1 written, %2 incomplete, in ").arg(whole).arg(surviving - whole)),
             qPrintable(form.RecoveryNote->text()));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("%1 of %2 ticked files were recovered.")
                                                   .arg(whole)
                                                   .arg(surviving)),
             qPrintable(messages.shown[0].text));
}

void LostVolumesTest::aSearchOfAWipedDiskListsItsVolumesWhichScanAndRecover() {
    const verandol::testing::DiskManifest disk = verandol::testing::LoadDiskManifest("gpt-disk");
    const std::vector<verandol::testing::DiskPartition> ntfs = disk.Ntfs();
    QCOMPARE(ntfs.size(), std::size_t{2});
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("wiped.dd"));
    // Both GPT copies and the protective MBR, and the first volume's own boot
    // sector, so only its backup can place it.
    verandol::testing::WriteZeroedCopy(verandol::testing::DiskImagePath("gpt-disk"), image.toStdString(),
                                       {{0, 34 * 512}, {disk.size - 33 * 512, 33 * 512}, {ntfs[0].start, 512}});
    QVERIFY(QDir::setCurrent(folder.path()));

    TMainForm form;
    QListWidgetItem* entry = Entry(form, QStringLiteral("wiped.dd (no file system, 21 MB)"));
    QVERIFY(entry);
    OfferAnswer answer(verandol::OfferChoice::Search);
    MessageCapture messages;
    form.DriveList->setCurrentItem(entry);
    form.btnScan->click();
    QCOMPARE(answer.offers.size(), std::size_t{1});
    QVERIFY(answer.offers[0].search_possible);
    QVERIFY(WaitForScan(form));
    QVERIFY2(messages.shown.empty(), messages.shown.empty() ? "" : qPrintable(messages.shown[0].text));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY2(form.RecoveryNote->text().startsWith(QStringLiteral("The search found 2 NTFS volumes on wiped.dd")),
             qPrintable(form.RecoveryNote->text()));

    std::vector<QListWidgetItem*> found;
    for (const auto& part : ntfs) {
        const QString text = QStringLiteral("wiped.dd @+%1 (NTFS, 8.4 MB, found)").arg(part.start);
        QListWidgetItem* item = Entry(form, text);
        QVERIFY2(item, qPrintable(text));
        QCOMPARE(item->data(verandol::kPathRole).toString(), image + QStringLiteral("@+%1").arg(part.start));
        // Listed under the disk they were found on, in the order of their offsets.
        QCOMPARE(form.DriveList->row(item), form.DriveList->row(entry) + 1 + static_cast<int>(found.size()));
        found.push_back(item);
    }
    QCOMPARE(form.DriveList->currentItem(), found[0]);

    // The first, found through its backup boot sector, scans and recovers
    // like any volume.
    form.btnScan->click();
    QVERIFY(WaitForScan(form));
    const verandol::testing::Manifest& first = *ntfs[0].volume;
    QCOMPARE(form.Rows()->Count(), static_cast<int>(first.Deleted().size()));
    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    form.CheckBox1->click();
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, QStringLiteral("All %1 ticked files were recovered into %2.")
                                         .arg(first.Deleted().size())
                                         .arg(out.path()));
    messages.shown.clear();
    for (const ManifestFile& file : first.Deleted())
        QCOMPARE(Sha256OfFile(out.filePath(QString::fromStdString(file.name))), QString::fromStdString(file.sha256));

    // A deep scan of the whole disk reads the records of both volumes with
    // the geometry the search found for each.
    answer.choice = verandol::OfferChoice::DeepScan;
    form.DriveList->setCurrentItem(entry);
    form.actOtherScans->trigger();
    QVERIFY(WaitForScan(form));
    std::map<QString, const verandol::ListRow*> by_name;
    for (int i = 0; i < form.Rows()->Count(); ++i)
        by_name[Cell(form.Rows()->Row(i), ListColumn::FileName)] = &form.Rows()->Row(i);
    QTemporaryDir deep_out;
    form.DLB->SetDirectory(deep_out.path());
    // New rows arrive unticked, even under a ticked "Check All Deleted Files".
    form.CheckBox1->setChecked(false);
    form.CheckBox1->click();
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    for (const auto& part : ntfs)
        for (const ManifestFile& file : part.volume->Deleted()) {
            const QString name = QString::fromStdString(file.name);
            QVERIFY2(by_name.count(name), qPrintable(name));
            QCOMPARE(Sha256OfFile(deep_out.filePath(name)), QString::fromStdString(file.sha256));
        }
}

void LostVolumesTest::aVolumeWhoseMftIsGoneLeadsToTheOffer() {
    const nlohmann::json geometry = FormattedManifest("formatted-same").at("after").at("geometry");
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("no-mft.img"));
    const std::int64_t records = 4 * geometry.at("record_size").get<std::int64_t>();
    verandol::testing::WriteZeroedCopy(verandol::testing::FixtureImagePath("formatted-same"), image.toStdString(),
                                       {{geometry.at("mft_offset").get<std::int64_t>(), records},
                                        {geometry.at("mftmirr_offset").get<std::int64_t>(), records}});
    QVERIFY(QDir::setCurrent(folder.path()));
    TMainForm form;
    QListWidgetItem* entry = Entry(form, QStringLiteral("no-mft.img"));
    QVERIFY(entry);
    OfferAnswer answer(verandol::OfferChoice::Cancel);
    form.DriveList->setCurrentItem(entry);
    form.btnScan->click();
    QVERIFY(WaitForScan(form));
    QVERIFY(QTest::qWaitFor([&] { return !answer.offers.empty(); }, 5000));
    QCOMPARE(answer.offers[0].entry, QStringLiteral("no-mft.img"));
    QVERIFY2(answer.offers[0].why.startsWith(QStringLiteral("The scan could not go on: ")),
             qPrintable(answer.offers[0].why));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QCOMPARE(form.Rows()->Count(), 0);
}

// Both boot sectors and record 6 gone: no bitmap says which clusters later
// files took. No file is counted recoverable, and those kept in clusters are
// not reported recovered: both are counted apart. Those inside records are
// written whole.
void LostVolumesTest::filesNoBitmapCouldJudgeAreCountedApart() {
    const verandol::testing::Manifest m = verandol::testing::LoadManifest("sec512-clu4k");
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("no-bitmap.img"));
    verandol::testing::WriteZeroedCopy(verandol::testing::FixtureImagePath("sec512-clu4k"), image.toStdString(),
                                       {{0, 512}, {m.total_sectors * m.bytes_per_sector, 512},
                                        {m.RecordPosition(6), 4}});
    QVERIFY(QDir::setCurrent(folder.path()));
    int in_records = 0, in_clusters = 0;
    for (const auto& file : m.Deleted()) (file.resident ? in_records : in_clusters) += 1;
    QVERIFY(in_records > 0 && in_clusters > 0);

    TMainForm form;
    QListWidgetItem* entry = nullptr;
    for (int i = 0; i < form.DriveList->count(); ++i)
        if (form.DriveList->item(i)->text().startsWith(QStringLiteral("no-bitmap.img"))) entry = form.DriveList->item(i);
    QVERIFY(entry);
    OfferAnswer answer(verandol::OfferChoice::DeepScan);
    MessageCapture messages;
    form.DriveList->setCurrentItem(entry);
    form.actOtherScans->trigger();
    QVERIFY(WaitForScan(form, 60000));
    // No share is known, not even of the files inside their records.
    QCOMPARE(form.RecoverableFileCount->text(),
             QStringLiteral("Recoverable Files: 0, %1 unchecked").arg(in_records + in_clusters));

    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    TickEveryRow(form);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form, 60000));
    // The files in use are listed and recovered too: nothing judges theirs either.
    int every_in_clusters = 0;
    for (const auto& file : m.files) every_in_clusters += !file.resident;
    QVERIFY2(form.RecoveryNote->text().contains(
                 QStringLiteral(" written, 0 incomplete, %1 unchecked, in ").arg(every_in_clusters)),
             qPrintable(form.RecoveryNote->text()));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.contains(
                 QStringLiteral("%1 files were written without checking that their clusters still held them.").arg(every_in_clusters)),
             qPrintable(messages.shown[0].text));
}

// Its first sector zeroed, a volume is still listed as one (not as a disk
// for a search) and Scan Now reads it by the backup in its last sector.
void LostVolumesTest::aVolumeWhoseBootSectorIsZeroedIsListedAndScannedByItsBackup() {
    const verandol::testing::Manifest m = verandol::testing::LoadManifest("sec512-clu4k");
    QTemporaryDir folder;
    const QString image = folder.filePath(QStringLiteral("no-boot.img"));
    verandol::testing::WriteZeroedCopy(verandol::testing::FixtureImagePath("sec512-clu4k"), image.toStdString(),
                                       {{0, m.bytes_per_sector}});
    QVERIFY(QDir::setCurrent(folder.path()));
    TMainForm form;
    QListWidgetItem* entry = Entry(form, QStringLiteral("no-boot.img"));
    QVERIFY(entry);
    QVERIFY(!entry->data(verandol::kOtherRole).toBool());
    QVERIFY(ScanListedImage(form, QStringLiteral("no-boot.img")));
    QCOMPARE(form.DriveName->text(), "Disk Name: " + QString::fromStdString(m.label));
    QCOMPARE(form.Rows()->Count(), static_cast<int>(m.Deleted().size()));
    QVERIFY2(form.RecoveryNote->text().contains(QStringLiteral("backup copy")), qPrintable(form.RecoveryNote->text()));
}

VERANDOL_GUI_TEST_MAIN(LostVolumesTest)
#include "tst_lost_volumes.moc"
