// "Image this drive first..." in the window: the selected drive is copied
// into the file asked for, with its map beside it, and the copy, offered
// for a scan at the end, is listed and scanned like the drive itself. A
// copy stopped halfway keeps its map, and asked for again goes on.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui_test_support.h"
#include "reading/rescue_map_file.h"
#include "ui/deleted_files_model.h"
#include "ui/drive_entries.h"
#include "ui/uMain.h"

using namespace verandol::test;

class ImageFirstTest : public QObject {
    Q_OBJECT
private slots:
    void theDriveIsCopiedWithItsMapAndTheCopyScannedLikeIt();
    void aStoppedCopyKeepsItsMapAndGoesOnWhenAskedAgain();
};

void ImageFirstTest::theDriveIsCopiedWithItsMapAndTheCopyScannedLikeIt() {
    QTemporaryDir folder;
    QVERIFY(StageImage(folder.path(), "sec512-clu4k", QStringLiteral("drive.img")));
    TMainForm form;
    const QList<QListWidgetItem*> entries = form.DriveList->findItems(QStringLiteral("drive.img"), Qt::MatchExactly);
    QCOMPARE(entries.size(), 1);
    form.DriveList->setCurrentItem(entries.first());

    const QString copy = folder.path() + QStringLiteral("/copy.img");
    QString asked_for, said;
    form.AskImagePath = [&](const QString& source, const QString&) {
        asked_for = source;
        return copy;
    };
    form.ConfirmScanOfImage = [&](const QString& text) {
        said = text;
        return true;
    };
    QVERIFY(form.btnImage->isVisible() || !form.isVisible());
    QVERIFY(form.DriveList->actions().contains(form.actImage));
    form.actImage->trigger();
    // The copy, then the scan of it that its end starts.
    QVERIFY(QTest::qWaitFor([&] { return !said.isEmpty(); }, 20000));
    QVERIFY(WaitForScan(form));

    QVERIFY(asked_for.endsWith(QStringLiteral("drive.img")));
    QVERIFY2(said.contains(QStringLiteral("holds all of the drive")), qPrintable(said));
    QCOMPARE(Sha256OfFile(copy), Sha256OfFile(folder.path() + QStringLiteral("/drive.img")));
    const auto map = verandol::LoadRescueMap((copy + QStringLiteral(".map")).toStdString());
    QVERIFY2(map, map.reason().c_str());
    QVERIFY(map->Unfinished().empty());
    QListWidgetItem* listed = verandol::FindDriveEntry(form.DriveList, copy);
    QVERIFY(listed);
    QCOMPARE(form.DriveList->currentItem(), listed);
    QCOMPARE(form.Rows()->DeletedCount(), static_cast<int>(LoadManifest().Deleted().size()));
}

void ImageFirstTest::aStoppedCopyKeepsItsMapAndGoesOnWhenAskedAgain() {
    QTemporaryDir folder;
    QVERIFY(StageImage(folder.path(), "sec512-clu4k", QStringLiteral("drive.img")));
    TMainForm form;
    form.DriveList->setCurrentItem(form.DriveList->findItems(QStringLiteral("drive.img"), Qt::MatchExactly).first());
    const QString copy = folder.path() + QStringLiteral("/copy.img");
    form.AskImagePath = [&](const QString&, const QString&) { return copy; };
    int asked = 0;
    QString said;
    form.ConfirmScanOfImage = [&](const QString& text) {
        ++asked;
        said = text;
        return false;
    };
    // Stopped before its first read: the map is saved all the same.
    form.actImage->trigger();
    form.btnScan->click();
    QVERIFY(QTest::qWaitFor([&] { return asked == 1; }, 20000));
    QVERIFY(QFile::exists(copy + QStringLiteral(".map")));
    QVERIFY2(said.contains(QStringLiteral("stopped")) || said.contains(QStringLiteral("holds all")), qPrintable(said));

    form.actImage->trigger();
    QVERIFY(QTest::qWaitFor([&] { return asked == 2; }, 20000));
    QVERIFY2(said.contains(QStringLiteral("holds all of the drive")), qPrintable(said));
    QCOMPARE(Sha256OfFile(copy), Sha256OfFile(folder.path() + QStringLiteral("/drive.img")));
    QVERIFY(!verandol::FindDriveEntry(form.DriveList, copy));
}

VERANDOL_GUI_TEST_MAIN(ImageFirstTest)
#include "tst_image_first.moc"
