// The bar above the list: Open Image..., the search for lost volumes and the
// deep scan of the selected entry, and the list's views; and the output
// folder's dialog beside edPath.
#include <QAction>
#include <memory>

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QToolBar>

#include "disk/volume_address.h"
#include "ui/directory_list_box.h"
#include "ui/drive_combo_box.h"
#include "ui/drive_entries.h"
#include "ui/message_box.h"
#include "ui/output_folder_dialog.h"
#include "ui/uMain.h"

namespace {

const char* const kImageFilters =
    "Raw disk images (*.img *.dd *.raw *.bin);;EnCase images (*.E01 *.e01);;"
    "Virtual PC disks (*.vhd *.vhdx);;VMware disks (*.vmdk);;All files (*)";

// Each action's tooltip and status tip: what it does and when it helps.
QAction* MakeAction(QToolBar* bar, const QString& text, const QString& tip) {
    QAction* action = bar->addAction(text);
    action->setToolTip(tip);
    action->setStatusTip(tip);
    return action;
}

}  // namespace

void TMainForm::BuildSourceBar() {
    // A column of small buttons in the panel's free right edge, below the
    // folder dialog's, so the designed list and panel keep their places.
    ToolBar1 = new QToolBar(Panel1);
    ToolBar1->setOrientation(Qt::Vertical);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setGeometry(852, 30, 26, 172);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border: none; spacing: 2px; padding: 0px; }"));
    actOpenImage = MakeAction(ToolBar1, QStringLiteral("Open Image..."),
                              QStringLiteral("Open Image: lists a disk or volume image file (raw, E01, VHD, VHDX or "
                                             "VMDK) and scans it, when the drive was copied to a file first."));
    actOpenImage->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    actSearch = MakeAction(ToolBar1, QStringLiteral("Search for Lost Volumes..."),
                           QStringLiteral("Search for lost volumes: reads a whole disk for NTFS volumes no partition "
                                          "table names, when a partition was deleted or the table wiped."));
    actSearch->setIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    actDeepScan = MakeAction(ToolBar1, QStringLiteral("Deep Scan..."),
                             QStringLiteral("Deep scan: reads every sector for file records, when the volume was "
                                            "formatted or its MFT is damaged and the scan finds too little."));
    actDeepScan->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // The carve pass's button goes here, after the searches.
    actThumbnails = MakeAction(ToolBar1, QStringLiteral("Thumbnails"),
                               QStringLiteral("Thumbnails: shows the found pictures as small pictures read from the "
                                              "volume; press again for the list."));
    actThumbnails->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    actThumbnails->setCheckable(true);
    actListView = new QAction(QStringLiteral("List"), this);
    actPreview = MakeAction(ToolBar1, QStringLiteral("Preview"),
                            QStringLiteral("Preview: shows the selected file's picture, text or first bytes beside "
                                           "the list, read from the volume before it is recovered."));
    actPreview->setIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
    actPreview->setCheckable(true);
    actPreview->setChecked(true);

    connect(actOpenImage, &QAction::triggered, this, [this] { Guarded([this] { OpenImage(); }); });
    connect(actSearch, &QAction::triggered, this, [this] { Guarded([this] { SearchSelected(); }); });
    connect(actDeepScan, &QAction::triggered, this, [this] { Guarded([this] { DeepScanSelected(); }); });
    connect(actThumbnails, &QAction::toggled, this, [this](bool on) { ShowThumbnails(on); });
    connect(actListView, &QAction::triggered, this, [this] { actThumbnails->setChecked(false); });

    // The folder dialog sits at the end of edPath, the panel's free corner.
    btnOutputFolder = new QPushButton(QStringLiteral("..."), Panel1);
    btnOutputFolder->setGeometry(852, 5, 24, 21);
    btnOutputFolder->setToolTip(QStringLiteral("Choose the folder to save files to, or make a new one"));
    connect(btnOutputFolder, &QPushButton::clicked, this, [this] { Guarded([this] { ChooseOutputFolder(); }); });

    // Long entries (a partition with its label and size) are shown whole:
    // scrolled sideways rather than cut.
    DriveList->setTextElideMode(Qt::ElideNone);
    DriveList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The output drive's list opens as wide as its longest root.
    DCB->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    int widest = 0;
    for (int i = 0; i < DCB->count(); ++i)
        widest = std::max(widest, DCB->fontMetrics().horizontalAdvance(DCB->itemText(i)));
    DCB->view()->setMinimumWidth(widest + 32);
}

void TMainForm::OpenImage() {
    if (Scanning() || Recovering()) return;
    const QString path =
        AskSourceImage ? AskSourceImage()
                       : QFileDialog::getOpenFileName(this, QStringLiteral("Open Image"), DLB->Directory(),
                                                      QString::fromUtf8(kImageFilters));
    if (path.isEmpty()) return;
    QListWidgetItem* first = verandol::AddImageEntries(DriveList, QFileInfo(path).absoluteFilePath().toStdString());
    if (!first) {
        verandol::ShowMessage(QStringLiteral("%1 could not be opened as a disk or volume image.").arg(path));
        return;
    }
    DriveList->setCurrentItem(first);
    DriveList->scrollToItem(first);
    // A volume is scanned at once; what holds none gets the offer instead.
    btnScanClick();
}

void TMainForm::ChooseOutputFolder() {
    QString folder;
    if (AskOutputFolder) {
        folder = AskOutputFolder(DLB->Directory());
    } else {
        const std::unique_ptr<QFileDialog> dialog(verandol::MakeOutputFolderDialog(this, DLB->Directory()));
        if (dialog->exec() == QDialog::Accepted) folder = dialog->selectedFiles().value(0);
    }
    if (folder.isEmpty()) return;
    // DCB follows to the folder's drive without moving DLB to its root.
    {
        const QSignalBlocker quiet(DCB);
        const int root = DCB->findText(QStorageInfo(folder).rootPath());
        if (root >= 0) DCB->setCurrentIndex(root);
    }
    DLB->SetDirectory(folder);
}

void TMainForm::SearchSelected() {
    QListWidgetItem* item = SelectedForNewJob();
    if (!item) return;
    const verandol::VolumeAddress address =
        verandol::ParseVolumeAddress(item->data(verandol::kPathRole).toString().toStdString());
    if (address.partition != 0 || address.offset >= 0) {
        verandol::ShowMessage(
            QStringLiteral("Only a whole disk or disk image can be searched; choose it in the list."));
        return;
    }
    StartOtherScan(item, true, false);
}

void TMainForm::DeepScanSelected() {
    QListWidgetItem* item = SelectedForNewJob();
    if (!item) return;
    const verandol::VolumeAddress address =
        verandol::ParseVolumeAddress(item->data(verandol::kPathRole).toString().toStdString());
    // A disk that holds no NTFS volume itself is read from its first byte to its last.
    StartOtherScan(item, false,
                   item->data(verandol::kOtherRole).toBool() && address.partition == 0 && address.offset < 0);
}
