// "Image this drive first...": the window's copy of a failing drive into an
// image file before any scan wears it further, and the offer to scan the
// copy, read with its map, once it is made.
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "disk/volume_address.h"
#include "disk/volume_discovery.h"
#include "imaging/uImageThread.h"
#include "jobs/job_control.h"
#include "reading/image_maps.h"
#include "ui/directory_list_box.h"
#include "ui/drive_entries.h"
#include "ui/message_box.h"
#include "ui/progress_bar_text.h"
#include "ui/uMain.h"

void TMainForm::OfferImage() {
    QListWidgetItem* item = SelectedForNewJob();
    if (!item) return;
    // A partition of a disk image or a found volume is copied with its whole
    // disk: the copy is of the device, read once.
    const QString source = QString::fromStdString(
        verandol::ParseVolumeAddress(item->data(verandol::kPathRole).toString().toStdString()).path);
    const QString suggested = DLB->Directory() + QStringLiteral("/") + QFileInfo(source).fileName() +
                              (source.endsWith(QStringLiteral(".img")) ? QStringLiteral("-copy.img") : QStringLiteral(".img"));
    const QString image = AskImagePath ? AskImagePath(source, suggested)
                                       : QFileDialog::getSaveFileName(this, QStringLiteral("Image %1 to").arg(source),
                                                                      suggested, QStringLiteral("Disk images (*.img)"));
    if (image.isEmpty()) return;
    StartImage(source, image);
}

void TMainForm::StartImage(const QString& source, const QString& image) {
    // The copy is the scan job of its time: btnScan stops it, and no scan
    // or recovery reads the failing drive beside it.
    ScanControl = std::make_shared<verandol::JobControl>();
    auto* worker = new TImageThread({source.toStdString(), image.toStdString(), {}}, Link, ScanControl);
    connect(worker, &TImageThread::starting, this, [this](int progress_max) {
        RecoveryNote->hide();
        PB->setRange(0, progress_max);
        PB->setValue(0);
        PBText->Start(progress_max, QStringLiteral("MiB"));
        btnScan->setText(QStringLiteral("Stop Imaging"));
        btnRecover->setEnabled(false);
    });
    connect(worker, &TImageThread::progress, this, [this](int rescued, const QString& text) {
        PB->setValue(rescued);
        ShowListNote(QStringLiteral("Imaging: %1 MiB rescued, %2").arg(rescued).arg(text));
    });
    connect(worker, &TImageThread::ended, this, &TMainForm::ImageEnded);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    ImageWorker = worker;
    worker->start();
}

void TMainForm::ImageEnded(bool stopped, const QString& failure, qint64 unread_bytes, int unread_areas,
                           const QString& image, const QString& map) {
    PBText->Finish();
    btnScan->setText(QStringLiteral("Scan Now"));
    btnRecover->setEnabled(true);
    RecoveryNote->hide();
    if (!failure.isEmpty()) {
        verandol::ShowMessage(QStringLiteral("The copy could not go on: %1.").arg(failure));
        return;
    }
    QString said = stopped ? QStringLiteral("The copy was stopped; its map %1 keeps what it read, and imaging to the "
                                            "same file again goes on from there.")
                                 .arg(map)
                           : unread_areas == 0
                                 ? QStringLiteral("The copy %1 holds all of the drive.").arg(image)
                                 : QStringLiteral("The copy %1 holds all of the drive but %2 bytes in %3 areas that "
                                                  "could not be read; its map %4 names them.")
                                       .arg(image)
                                       .arg(unread_bytes)
                                       .arg(unread_areas)
                                       .arg(map);
    const bool scan = ConfirmScanOfImage ? ConfirmScanOfImage(said)
                                         : QMessageBox::question(this, QStringLiteral("Verandol"),
                                                                 said + QStringLiteral("\n\nScan the copy now?")) ==
                                               QMessageBox::Yes;
    if (!scan) return;
    // The copy is read with its map, so what the drive could not give is
    // unreadable in the copy too.
    verandol::ReadImageWithMap(image.toStdString(), map.toStdString());
    QListWidgetItem* first = verandol::AddImageEntries(DriveList, image.toStdString());
    if (!first || first->data(verandol::kOtherRole).toBool()) {
        verandol::ShowMessage(QStringLiteral("The copy holds no NTFS volume that a table names; it is listed for a "
                                             "search or a deep scan."));
        return;
    }
    DriveList->setCurrentItem(first);
    StartScan(first->text(), first->data(verandol::kPathRole).toString());
}
