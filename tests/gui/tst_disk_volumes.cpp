// A whole-disk image in the working directory: the drive list shows each of
// its NTFS partitions, and a scan of the second recovers the second's files.
#include <map>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui_test_support.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/uMain.h"

using namespace verandol::test;

class DiskVolumesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachPartitionIsListedAndTheSecondRecoversItsOwnFiles();

private:
    QTemporaryDir volumes_;
};

void DiskVolumesTest::initTestCase() {
    QVERIFY(volumes_.isValid());
    const QString disk = QString::fromStdString(verandol::testing::DiskImagePath("gpt-disk"));
    QVERIFY(QFile::copy(disk, volumes_.filePath(QStringLiteral("disk.img"))));
    QVERIFY(QDir::setCurrent(volumes_.path()));
}

void DiskVolumesTest::eachPartitionIsListedAndTheSecondRecoversItsOwnFiles() {
    const std::vector<verandol::testing::DiskPartition> ntfs = verandol::testing::LoadDiskManifest("gpt-disk").Ntfs();
    QCOMPARE(ntfs.size(), std::size_t{2});
    TMainForm form;
    QList<QListWidgetItem*> items;
    for (const auto& part : ntfs) {
        const QString text = QStringLiteral("disk.img #%1 (NTFS, 8.4 MB)").arg(part.number);
        const QList<QListWidgetItem*> found = form.DriveList->findItems(text, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(text));
        items.append(found.first());
    }

    MessageCapture messages;
    form.DriveList->setCurrentItem(items.last());
    form.btnScan->click();
    QVERIFY(WaitForScan(form));
    const verandol::testing::Manifest& second = *ntfs.back().volume;
    QCOMPARE(form.DriveName->text(), "Disk Name: " + QString::fromStdString(second.label));
    QCOMPARE(form.Rows()->Count(), static_cast<int>(second.Deleted().size()));
    QVERIFY(
        QString::fromStdString(form.Geometry().path).endsWith(QStringLiteral("disk.img@%1").arg(ntfs.back().number)));

    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    form.CheckBox1->click();
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, QStringLiteral("All %1 ticked files were recovered into %2.")
                                         .arg(second.Deleted().size())
                                         .arg(out.path()));
    for (const ManifestFile& file : second.Deleted())
        QCOMPARE(Sha256OfFile(out.filePath(QString::fromStdString(file.name))), QString::fromStdString(file.sha256));
}

QTEST_MAIN(DiskVolumesTest)
#include "tst_disk_volumes.moc"
