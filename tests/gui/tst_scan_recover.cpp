// A real scan and recovery of the fixture volume, found by discovery in the
// working directory, with the files checked against the manifest.
#include <map>

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTest>

#include "gui_test_support.h"
#include "jobs/job_control.h"
#include "tests/failing_device.h"
#include "tests/loop_volume.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/scan_offer.h"
#include "ui/uMain.h"
#include "ui/window_arguments.h"

using namespace verandol::test;

Q_DECLARE_METATYPE(verandol::testing::MountDriver)

namespace {

std::map<std::string, ManifestFile> ListedByName() {
    std::map<std::string, ManifestFile> listed;
    for (const ManifestFile& file : LoadManifest().Deleted()) listed[file.name] = file;
    return listed;
}

int RowNamed(const TMainForm& form, const std::string& name) {
    for (int i = 0; i < form.Rows()->Count(); ++i)
        if (form.Rows()->Row(i).cells[1] == name) return i;
    return -1;
}

// Records, each time `watched` is enabled or disabled, that state and the
// caption `captioned` has then: the workers' transient states are seen
// without racing them.
class StateRecorder : public QObject {
public:
    StateRecorder(QWidget* watched, QPushButton* captioned) : watched_(watched), captioned_(captioned) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == watched_ && event->type() == QEvent::EnabledChange)
            states.emplace_back(watched_->isEnabled(), captioned_->text());
        return false;
    }
    std::vector<std::pair<bool, QString>> states;

private:
    QWidget* watched_;
    QPushButton* captioned_;
};

void Tick(TMainForm& form, int row) {
    form.Rows()->setData(form.Rows()->index(row, 0), Qt::Checked, Qt::CheckStateRole);
}

}  // namespace

class ScanRecoverTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void discoveryListsTheImageAndItsLabels();
    void scanShowsFiguresAndListsEveryDeletedFile();
    void stopDuringScanKeepsRowsFoundSoFar();
    void failedScanSaysWhyAndKeepsWhatItShowed();
    void rowsOfAnEarlierScanAreNeverReadFromAnotherVolume();
    void anImageNamedOnTheCommandLineIsSelectedAndScanned();
    void recoveryUnderOwnNamesMatchesTheManifest();
    void recoveryAsFileNumberUsesRowIndices();
    void keepFileTimesGivesFilesTheirRecordsTimes();
    void filesInUseAreListedMarkedAndCopiedOut();
    void stopDuringRecoveryEndsCleanly();
    void failedRowsAreReportedAtTheEnd();
    void recoveryOntoTheScannedDeviceIsRefused_data();
    void recoveryOntoTheScannedDeviceIsRefused();
    void closingDuringWorkStopsTheWorkers();
    void aFailingDeviceCostsOnlyItsBadSectorsAndSaysSo();

private:
    QTemporaryDir volumes_;
};

void ScanRecoverTest::initTestCase() {
    QVERIFY(volumes_.isValid());
    QVERIFY(QFile::copy(FixtureImagePath(), volumes_.filePath(QString::fromLatin1(kFixtureName))));
    // Discovery looks for volume images in the working directory.
    QVERIFY(QDir::setCurrent(volumes_.path()));
}

void ScanRecoverTest::discoveryListsTheImageAndItsLabels() {
    const verandol::testing::Manifest manifest = LoadManifest();
    TMainForm form;
    const auto listed = form.DriveList->findItems(QString::fromLatin1(kFixtureName), Qt::MatchExactly);
    QCOMPARE(listed.size(), 1);
    // The list is narrow: the whole name shows on hovering, with the size and label.
    const QString tip = listed[0]->toolTip();
    QVERIFY2(tip.startsWith(listed[0]->text() + QStringLiteral("\nSize: ")), qPrintable(tip));
    QVERIFY2(tip.endsWith(QStringLiteral("\nLabel: ") + QString::fromStdString(manifest.label)), qPrintable(tip));
    QVERIFY(form.DriveList->selectedItems().isEmpty());
    // The image is the last candidate opened, so its labels stay.
    QCOMPARE(form.DriveName->text(), "Drive Name: " + QString::fromStdString(manifest.label));
    QCOMPARE(form.DriveSerial->text(), "Drive Serial: " + QString::fromStdString(manifest.serial));
}

void ScanRecoverTest::scanShowsFiguresAndListsEveryDeletedFile() {
    const verandol::testing::Manifest manifest = LoadManifest();
    long long clusters = 0;
    for (const auto& extent : manifest.mft_extents) clusters += extent.second;
    // The engine counts the MFT's last cluster too: every cluster of its runs.
    const long long mft_bytes = clusters * manifest.cluster_size;
    const long long records = mft_bytes / manifest.record_size;

    TMainForm form;
    StateRecorder walk(form.btnRecover, form.btnScan);
    QVERIFY(ScanFixture(form));
    // While the walk ran: "Stop Scanning" with btnRecover disabled, then back.
    QCOMPARE(walk.states, (std::vector<std::pair<bool, QString>>{{false, "Stop Scanning"}, {true, "Scan Now"}}));
    QCOMPARE(form.DriveName->text(), "Disk Name: " + QString::fromStdString(manifest.label));
    QCOMPARE(form.DriveSerial->text(), "Disk Serial: " + QString::fromStdString(manifest.serial));
    const long long volume_bytes = manifest.total_sectors * manifest.bytes_per_sector;
    QCOMPARE(form.DriveSize->text(), QStringLiteral("Drive Size: %1 KB").arg(volume_bytes / 1024));
    QCOMPARE(form.DriveMFTLocation->text(),
             "MFT Location: 0x" + QString::number(manifest.mft_offset, 16).toUpper());
    QCOMPARE(form.DriveMFTSize->text(), QStringLiteral("MFT Size: %1 KB").arg(mft_bytes / 1024));
    QCOMPARE(form.DriveMFTRecordsCount->text(), QStringLiteral("All Files: %1").arg(records));
    QCOMPARE(form.PB->maximum(), static_cast<int>(records - 16));
    QCOMPARE(form.PB->value(), form.PB->maximum());
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: %1").arg(form.Rows()->Count()));
    QCOMPARE(form.Geometry().path, volumes_.filePath(QString::fromLatin1(kFixtureName)).toStdString());

    for (const ManifestFile& file : manifest.files) {
        const int row = RowNamed(form, file.name);
        QVERIFY2((row >= 0) == file.deleted, file.name.c_str());
        if (row < 0) continue;
        QCOMPARE(form.Rows()->Row(row).cells[3], std::to_string(file.size));
        QVERIFY(!form.Rows()->Row(row).ticked);
    }
    // Rows come in record order, so their positions ascend.
    for (int i = 1; i < form.Rows()->Count(); ++i)
        QVERIFY(std::stoll(form.Rows()->Row(i - 1).cells[0], nullptr, 16) <
                std::stoll(form.Rows()->Row(i).cells[0], nullptr, 16));
}

void ScanRecoverTest::stopDuringScanKeepsRowsFoundSoFar() {
    MessageCapture messages;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    const int all = form.Rows()->Count();
    // The worker cannot get past its first row without this thread, so
    // the second press lands during the walk.
    form.btnScan->click();
    form.btnScan->click();
    QVERIFY(form.StopScan());
    QVERIFY(WaitForScan(form));
    QVERIFY(form.Rows()->Count() < all);
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: %1").arg(form.Rows()->Count()));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());
    QVERIFY(form.PB->value() < form.PB->maximum());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("The scan was stopped")),
             qPrintable(messages.shown[0].text));
}

// Adds a DriveList entry for `path` and scans it.
bool ScanPath(TMainForm& form, const QString& path) {
    auto* item = new QListWidgetItem(QFileInfo(path).fileName(), form.DriveList);
    item->setData(Qt::UserRole, path);
    form.DriveList->clearSelection();
    item->setSelected(true);
    form.btnScan->click();
    return WaitForScan(form);
}

// Scans `path`, whose volume opens but cannot be read, and declines the
// offer of a search or deep scan that follows; the offers made, none when the
// scan or the offer did not come.
std::vector<verandol::ScanOffer> ScanDecliningTheOffer(TMainForm& form, const QString& path) {
    std::vector<verandol::ScanOffer> offers;
    const verandol::OfferInterceptor previous = verandol::SetOfferInterceptor([&](const verandol::ScanOffer& offer) {
        offers.push_back(offer);
        return verandol::OfferChoice::Cancel;
    });
    if (ScanPath(form, path)) static_cast<void>(QTest::qWaitFor([&] { return !offers.empty(); }, 5000));
    verandol::SetOfferInterceptor(previous);
    return offers;
}

// A copy of the fixture at `damaged` whose boot sector reads, but whose
// record 0 no longer ends its first sector in its update sequence number, in
// the MFT and in its mirror: its scan fails after publishing its volume.
bool MakeDamagedMftCopy(const QString& damaged) {
    const verandol::testing::Manifest manifest = LoadManifest();
    QFile::remove(damaged);
    if (!QFile::copy(FixtureImagePath(), damaged)) return false;
    QFile image(damaged);
    if (!image.open(QIODevice::ReadWrite) || !image.seek(0x38)) return false;
    const QByteArray mirror_cluster = image.read(8);
    if (mirror_cluster.size() != 8) return false;
    qint64 mirror = 0;
    for (int i = 7; i >= 0; --i) mirror = (mirror << 8) | static_cast<unsigned char>(mirror_cluster[i]);
    for (const qint64 record0 : {qint64{manifest.mft_offset}, mirror * manifest.cluster_size})
        if (!image.seek(record0 + 510) || image.write("\xEE\xEE", 2) != 2) return false;
    return true;
}

void ScanRecoverTest::failedScanSaysWhyAndKeepsWhatItShowed() {
    const verandol::testing::Manifest manifest = LoadManifest();
    const QString damaged = volumes_.filePath(QStringLiteral("damaged-mft.img"));
    QVERIFY(MakeDamagedMftCopy(damaged));
    MessageCapture messages;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    const int rows = form.Rows()->Count();
    QVERIFY(rows > 0);
    QVERIFY(messages.shown.empty());

    // A volume that opens but cannot be read says why in the offer of the
    // passes that need neither boot sector nor MFT.
    const std::vector<verandol::ScanOffer> offers = ScanDecliningTheOffer(form, damaged);
    QVERIFY(!offers.empty());
    QVERIFY(messages.shown.empty());
    QCOMPARE(offers[0].why,
             QStringLiteral("The scan could not go on: MFT record 0 is damaged: it fails its update sequence check."));
    // The figures read before the failure stay; the rows of the volume
    // scanned before went with the start of this scan.
    QCOMPARE(form.DriveMFTLocation->text(),
             "MFT Location: 0x" + QString::number(manifest.mft_offset, 16).toUpper());
    QCOMPARE(form.Rows()->Count(), 0);
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: 0"));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QVERIFY(form.btnRecover->isEnabled());

    // One that cannot be opened is not offered anything: nothing could read it.
    QVERIFY(ScanPath(form, volumes_.filePath(QStringLiteral("no-such-volume"))));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("The scan could not go on: cannot open ")),
             qPrintable(messages.shown[0].text));
    QCOMPARE(form.Rows()->Count(), 0);
}

// As a file manager starts it: an image outside the working directory is
// listed, selected and scanned; one discovery listed already, named relative
// to the working directory, is not listed twice.
void ScanRecoverTest::anImageNamedOnTheCommandLineIsSelectedAndScanned() {
    QTemporaryDir elsewhere;
    const QString image = elsewhere.filePath(QStringLiteral("opened.img"));
    QVERIFY(QFile::copy(FixtureImagePath(), image));
    const verandol::WindowArguments parsed = verandol::ParseWindowArguments({image.toStdString()});
    QVERIFY(parsed.action == verandol::WindowArguments::Action::Window);
    const int deleted = static_cast<int>(LoadManifest().Deleted().size());

    TMainForm form;
    const int listed = form.DriveList->count();
    form.ScanSourceArgument(QString::fromStdString(parsed.source));
    QVERIFY(WaitForScan(form));
    QCOMPARE(form.DriveList->count(), listed + 1);
    QCOMPARE(form.DriveList->selectedItems().size(), 1);
    QCOMPARE(form.DriveList->selectedItems()[0]->data(Qt::UserRole).toString(), image);
    QCOMPARE(form.Geometry().path, image.toStdString());
    QCOMPARE(form.Rows()->Count(), deleted);

    form.ScanSourceArgument(QString::fromLatin1(kFixtureName));
    QVERIFY(WaitForScan(form));
    QCOMPARE(form.DriveList->count(), listed + 1);
    QCOMPARE(form.DriveList->selectedItems()[0]->text(), QString::fromLatin1(kFixtureName));
    QCOMPARE(form.Rows()->Count(), deleted);
}

void ScanRecoverTest::rowsOfAnEarlierScanAreNeverReadFromAnotherVolume() {
    const QString damaged = volumes_.filePath(QStringLiteral("damaged-mft.img"));
    QVERIFY(MakeDamagedMftCopy(damaged));
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    QVERIFY(form.Rows()->Count() > 0);
    form.CheckBox1->click();
    form.DLB->SetDirectory(out.path());

    // The next scan opens its volume and publishes it, then fails on the MFT.
    const std::vector<verandol::ScanOffer> offers = ScanDecliningTheOffer(form, damaged);
    QVERIFY(!offers.empty());
    QCOMPARE(form.Geometry().path, damaged.toStdString());

    // Nothing the first scan listed and ticked is left, so nothing is read
    // from the volume the second one published.
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, QStringLiteral("Please select a file to recover!"));
    QCOMPARE(form.Rows()->Count(), 0);
    QCOMPARE(form.RecoverableFileCount->text(), QStringLiteral("Recoverable Files: 0"));

    // A scan that cannot even open its volume takes the earlier rows and
    // volume away all the same.
    form.DriveList->clearSelection();
    QVERIFY(ScanFixture(form));
    QVERIFY(form.Rows()->Count() > 0);
    QVERIFY(ScanPath(form, volumes_.filePath(QStringLiteral("no-such-volume"))));
    QCOMPARE(form.Rows()->Count(), 0);
    QCOMPARE(form.Geometry().path, std::string());
}

void ScanRecoverTest::recoveryUnderOwnNamesMatchesTheManifest() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    form.DLB->SetDirectory(out.path());
    // The rows belong to the scanned volume, whatever is selected now.
    form.DriveList->clearSelection();
    form.CheckBox1->click();
    StateRecorder recovery(form.btnScan, form.btnRecover);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(recovery.states,
             (std::vector<std::pair<bool, QString>>{{false, QStringLiteral("停止恢复")}, {true, "Recover Now"}}));
    QCOMPARE(form.btnRecover->text(), QStringLiteral("Recover Now"));
    QVERIFY(form.btnScan->isEnabled());
    QCOMPARE(form.PB->maximum(), form.Rows()->Count());
    QCOMPARE(form.PB->value(), form.Rows()->Count());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text,
             QStringLiteral("All %1 ticked files were recovered into %2.").arg(form.Rows()->Count()).arg(out.path()));

    for (const auto& [name, file] : ListedByName())
        QCOMPARE(Sha256OfFile(out.filePath(QString::fromStdString(name))), QString::fromStdString(file.sha256));
}

// On by default, the option dates each file as its record does (the
// fixture's files were written long before this run); off, a file is dated
// by its writing.
void ScanRecoverTest::keepFileTimesGivesFilesTheirRecordsTimes() {
    MessageCapture messages;
    const QDateTime started = QDateTime::currentDateTime().addSecs(-2);
    TMainForm form;
    QVERIFY(form.cbKeepTimes->isChecked());
    QVERIFY(ScanFixture(form));
    form.CheckBox1->click();
    for (const bool keep : {true, false}) {
        QTemporaryDir out;
        form.DLB->SetDirectory(out.path());
        form.cbKeepTimes->setChecked(keep);
        form.btnRecover->click();
        QVERIFY(WaitForRecovery(form));
        for (const auto& [name, file] : ListedByName()) {
            const QDateTime modified = QFileInfo(out.filePath(QString::fromStdString(name))).lastModified();
            QVERIFY2(keep ? modified < started : modified >= started, name.c_str());
        }
    }
}

void ScanRecoverTest::filesInUseAreListedMarkedAndCopiedOut() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    const int deleted_column = static_cast<int>(verandol::ListColumn::Deleted);
    QVERIFY(form.ListView1->isColumnHidden(deleted_column));
    form.cbFilesInUse->setChecked(true);
    QVERIFY(ScanFixture(form));
    QVERIFY(!form.ListView1->isColumnHidden(deleted_column));
    const verandol::testing::Manifest manifest = LoadManifest();
    // The count stays the deleted files' alone.
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: %1").arg(manifest.Deleted().size()));
    std::vector<ManifestFile> in_use;
    for (const ManifestFile& file : manifest.files) {
        if (file.deleted) continue;
        in_use.push_back(file);
        const int row = RowNamed(form, file.name);
        QVERIFY2(row >= 0, file.name.c_str());
        QCOMPARE(form.Rows()->Row(row).cells[static_cast<std::size_t>(deleted_column)], std::string("no"));
        Tick(form, row);
    }
    QVERIFY(!in_use.empty());
    form.DLB->SetDirectory(out.path());
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text,
             QStringLiteral("All %1 ticked files were recovered into %2.").arg(in_use.size()).arg(out.path()));
    for (const ManifestFile& file : in_use)
        QCOMPARE(Sha256OfFile(out.filePath(QString::fromStdString(file.name))), QString::fromStdString(file.sha256));
}

void ScanRecoverTest::recoveryAsFileNumberUsesRowIndices() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    form.ListView1ColumnClick(1);  // indices follow the sorted order
    form.DLB->SetDirectory(out.path());
    form.rb2->setChecked(true);
    Tick(form, 1);
    Tick(form, 3);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(form.PB->maximum(), 2);
    QCOMPARE(form.PB->value(), 2);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), (QStringList{"File_1", "File_3"}));
    const auto listed = ListedByName();
    for (int row : {1, 3}) {
        const ManifestFile& file = listed.at(form.Rows()->Row(row).cells[1]);
        QCOMPARE(Sha256OfFile(out.filePath(QStringLiteral("File_%1").arg(row))), QString::fromStdString(file.sha256));
    }
}

void ScanRecoverTest::stopDuringRecoveryEndsCleanly() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    form.DLB->SetDirectory(out.path());
    form.CheckBox1->click();
    // The worker reads each row on this thread, so none is handled before
    // the second press.
    form.btnRecover->click();
    form.btnRecover->click();
    QVERIFY(form.StopRecover());
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(form.PB->value(), 0);
    QCOMPARE(form.btnRecover->text(), QStringLiteral("Recover Now"));
    QVERIFY(form.btnScan->isEnabled());
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, QStringLiteral("The recovery was stopped. 0 of %1 ticked files were recovered.")
                                         .arg(form.Rows()->Count()));
}

void ScanRecoverTest::failedRowsAreReportedAtTheEnd() {
    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanFixture(form));
    form.DLB->SetDirectory(out.path());
    const int bad = RowNamed(form, "shopping.txt");
    const int good = RowNamed(form, "main.c");
    QVERIFY(bad >= 0 && good >= 0);
    // The edited caption is what the recovery reads.
    QVERIFY(form.Rows()->setData(form.Rows()->index(bad, 0), QStringLiteral("0xNOPE"), Qt::EditRole));
    Tick(form, bad);
    Tick(form, good);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(form.PB->value(), 2);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    const QString& report = messages.shown[0].text;
    QVERIFY2(report.startsWith(QStringLiteral("1 of 2 ticked files were recovered.")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("shopping.txt (0xNOPE): not written, ")));
    QCOMPARE(messages.shown[0].icon, QMessageBox::NoIcon);
    QVERIFY(QFile::exists(out.filePath(QStringLiteral("main.c"))));
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("shopping.txt"))));
}

void ScanRecoverTest::recoveryOntoTheScannedDeviceIsRefused_data() {
    QTest::addColumn<verandol::testing::MountDriver>("driver");
    // ntfs-3g mounts an image file itself too, with no loop device.
    QTest::addColumn<bool>("image_only");
    QTest::newRow("kernel") << verandol::testing::MountDriver::Kernel << false;
    QTest::newRow("ntfs-3g") << verandol::testing::MountDriver::Fuse << false;
    QTest::newRow("ntfs-3g of the image") << verandol::testing::MountDriver::Fuse << true;
}

void ScanRecoverTest::recoveryOntoTheScannedDeviceIsRefused() {
    QFETCH(verandol::testing::MountDriver, driver);
    QFETCH(bool, image_only);
    std::string skip;
    auto volume = image_only ? verandol::testing::LoopVolume::ImageOnly("sec512-clu4k", "scanned volume.img", &skip)
                             : verandol::testing::LoopVolume::Attach("sec512-clu4k", &skip);
    if (!volume || !volume->Mount(driver, &skip)) QSKIP(skip.c_str());
    MessageCapture messages;
    TMainForm form;
    QVERIFY(ScanPath(form, QString::fromStdString(volume->device())));
    QVERIFY(form.Rows()->Count() > 0);
    form.DLB->SetDirectory(QString::fromStdString(volume->mount_point()));
    form.CheckBox1->click();
    form.btnRecover->click();
    QVERIFY(!form.Recovering());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    const QString& text = messages.shown[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("The output folder ")) &&
                 text.contains(QString::fromStdString(" is on " + volume->device())) &&
                 text.endsWith(QStringLiteral("Choose a folder on another drive, so the recovered files cannot "
                                              "overwrite the data still to be recovered.")),
             qPrintable(text));
    QVERIFY(!QFile::exists(QString::fromStdString(volume->mount_point() + "/" + form.Rows()->Row(0).cells[1])));

    // Started towards another folder, then pointed at the device before the
    // worker reads its first row: every row is refused, none written.
    QTemporaryDir elsewhere;
    form.DLB->SetDirectory(elsewhere.path());
    form.btnRecover->click();
    form.DLB->SetDirectory(QString::fromStdString(volume->mount_point()));
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{2});
    QVERIFY2(messages.shown[1].text.startsWith(QStringLiteral("0 of %1 ticked files were recovered.")
                                                   .arg(form.Rows()->Count())) &&
                 messages.shown[1].text.contains(QString::fromStdString(" is on " + volume->device())),
             qPrintable(messages.shown[1].text));
    QVERIFY(QDir(elsewhere.path()).isEmpty());
    QVERIFY(!QFile::exists(QString::fromStdString(volume->mount_point() + "/" + form.Rows()->Row(0).cells[1])));
}

void ScanRecoverTest::closingDuringWorkStopsTheWorkers() {
    QTemporaryDir out;
    {
        auto form = std::make_unique<TMainForm>();
        form->show();
        QVERIFY(ScanFixture(*form));
        form->btnScan->click();
        QVERIFY(form->Scanning());
        // The worker may be blocked on a row append this thread never runs.
        form->close();
        QVERIFY(!form->Scanning());
        form.reset();
    }
    {
        auto form = std::make_unique<TMainForm>();
        QVERIFY(ScanFixture(*form));
        form->DLB->SetDirectory(out.path());
        form->CheckBox1->click();
        form->btnRecover->click();
        QVERIFY(form->Recovering());
        const auto job = form->RecoveryJob();
        form.reset();  // destroyed without a close
        QVERIFY(!job->Running());
    }
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

VERANDOL_GUI_TEST_MAIN(ScanRecoverTest)
// A device with a bad spot in its MFT and a bad block in a photo: the
// window lists every other file, says once what could not be read, and
// recovers the photo as incomplete with zeros only in that block.
void ScanRecoverTest::aFailingDeviceCostsOnlyItsBadSectorsAndSaysSo() {
    const verandol::testing::Manifest manifest = verandol::testing::LoadManifest("faults");
    const std::int64_t cluster = manifest.cluster_size;
    verandol::testing::ManifestFile photo;
    for (const verandol::testing::ManifestFile& f : manifest.Deleted())
        if (f.name == "IMG_2099.JPG") photo = f;
    QVERIFY(photo.runs.size() == 1);
    const std::int64_t first = verandol::testing::FirstDeletedRecordRun(manifest, 10);
    QVERIFY(first >= 16);
    const auto spot = static_cast<std::uint64_t>(manifest.RecordPosition(first));
    const auto block = static_cast<std::uint64_t>(photo.runs.front().first * cluster + 8 * cluster);
    std::string skip;
    auto device = verandol::testing::FailingDevice::Serve(verandol::testing::FixtureImagePath("faults"),
                                                          {{{spot, 10 * 1024}, {block, 4096}}, 0, 0}, &skip);
    if (!device) QSKIP(skip.c_str());

    MessageCapture messages;
    QTemporaryDir out;
    TMainForm form;
    QVERIFY(ScanPath(form, QString::fromStdString(device->path())));
    QCOMPARE(form.Rows()->Count(), static_cast<int>(manifest.Deleted().size()) - 10);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("Some of the device could not be read.")),
             qPrintable(messages.shown[0].text));
    QVERIFY2(messages.shown[0].text.contains(
                 QStringLiteral("10 MFT records are unreadable (%1-%2)").arg(first).arg(first + 9)),
             qPrintable(messages.shown[0].text));
    QVERIFY(!form.RecoveryNote->isHidden());
    QVERIFY(form.RecoveryNote->text().contains(QStringLiteral("10 MFT records are unreadable")));

    form.DLB->SetDirectory(out.path());
    Tick(form, RowNamed(form, photo.name));
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QVERIFY2(form.RecoveryNote->text().contains(QStringLiteral("1 with 4096 bytes the device could not read")),
             qPrintable(form.RecoveryNote->text()));
    QCOMPARE(messages.shown.size(), std::size_t{2});
    QVERIFY2(messages.shown[1].text.contains(QStringLiteral("4096 bytes could not be read from the device")),
             qPrintable(messages.shown[1].text));
    QByteArray expected;
    {
        QFile image(QString::fromStdString(verandol::testing::FixtureImagePath("faults")));
        QVERIFY(image.open(QIODevice::ReadOnly) && image.seek(photo.runs.front().first * cluster));
        expected = image.read(photo.size);
    }
    expected.replace(static_cast<qsizetype>(8 * cluster), 4096, QByteArray(4096, '\0'));
    QFile written(out.filePath(QString::fromStdString(photo.name)));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expected);
}

#include "tst_scan_recover.moc"
