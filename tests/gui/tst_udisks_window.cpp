// The window as an ordinary user: a device the user may not read is listed
// marked, and a scan of it reads it through UDisks2, or says clearly why it
// may not. Run by the CliUdisks test as the unprivileged user on the bus it
// starts; alone it has nothing to read and skips.
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "udisks/udisks_access.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/uMain.h"

using namespace verandol::test;

class UdisksWindowTest : public QObject {
    Q_OBJECT
private slots:
    void theMarkedDeviceIsReadWhenScannedOrRefusedClearly();
};

void UdisksWindowTest::theMarkedDeviceIsReadWhenScannedOrRefusedClearly() {
    const QString device = qEnvironmentVariable("VERANDOL_TEST_DEVICE");
    const QString out = qEnvironmentVariable("VERANDOL_TEST_OUT");  // empty: polkit refuses
    if (device.isEmpty()) QSKIP("needs a device this user may not read, and UDisks2 to ask");
    verandol::ReadDevicesThroughUdisks();
    TMainForm form;
    const QList<QListWidgetItem*> items = form.DriveList->findItems(device + " (no access)", Qt::MatchExactly);
    QCOMPARE(items.size(), 1);

    MessageCapture messages;
    form.DriveList->setCurrentItem(items.first());
    form.btnScan->click();
    QVERIFY(WaitForScan(form, 60000));
    if (out.isEmpty()) {
        QCOMPARE(messages.shown.size(), std::size_t{1});
        const QString& text = messages.shown.front().text;
        QVERIFY2(text.contains(device + " may not be read: the system did not allow reading it ("), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("member of the disk group")), qPrintable(text));
        QCOMPARE(form.Rows()->Count(), 0);
        QCOMPARE(items.first()->text(), device + " (no access)");
        return;
    }
    QVERIFY2(messages.shown.empty(), messages.shown.empty() ? "" : qPrintable(messages.shown[0].text));
    const verandol::testing::Manifest manifest = LoadManifest();
    QCOMPARE(form.Rows()->Count(), static_cast<int>(manifest.Deleted().size()));
    QCOMPARE(form.DriveList->findItems(device, Qt::MatchExactly).size(), 1);

    // The recovery reads through the descriptor the scan was given.
    form.DLB->SetDirectory(out);
    form.CheckBox1->click();
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form, 60000));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text,
             QStringLiteral("All %1 ticked files were recovered into %2.").arg(manifest.Deleted().size()).arg(out));
    for (const verandol::testing::ManifestFile& file : manifest.Deleted())
        QCOMPARE(Sha256OfFile(out + "/" + QString::fromStdString(file.name)), QString::fromStdString(file.sha256));
}

VERANDOL_GUI_TEST_MAIN(UdisksWindowTest)
#include "tst_udisks_window.moc"
