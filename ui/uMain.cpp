#include "ui/uMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "deep/deep_scan.h"
#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "disk/volume_address.h"
#include "disk/volume_discovery.h"
#include "naming/carved_row_namer.h"
#include "recover/output_device_check.h"
#include "recover/uRecoverThread.h"
#include "rescue/backup_boot_volumes.h"
#include "scan/uScanThread.h"
#include "scan/uSearchThread.h"
#include "imaging/uImageThread.h"
#include "ui/carve_controls.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_combo_box.h"
#include "ui/drive_entries.h"
#include "ui/end_messages.h"
#include "ui/filter_bar.h"
#include "ui/fixed_height_delegate.h"
#include "ui/fonts.h"
#include "ui/grid_line_delegate.h"
#include "ui/help_page.h"
#include "ui/list_text_compare.h"
#include "ui/message_box.h"
#include "ui/progress_bar_text.h"
#include "ui/question_box.h"
#include "ui/scan_offer.h"

using verandol::TahomaFont;

// The pictures live in the static verandol_ui library, whose resource the
// linker would otherwise drop; this must run outside any namespace.
static void LoadPictures() { Q_INIT_RESOURCE(resources); }

namespace {

// A worker asked to stop finishes its current record, row or streamed piece
// well within this; one that does not is left to end on its own.
constexpr int kShutdownWaitMs = 2000;

using verandol::kPathRole;
using verandol::kUnreadRole;

const char* const kNoVolumeHere = "No NTFS volume begins here, so there is nothing to scan as it is.";

const char* const kChooseAnotherDrive =
    "Choose a folder on another drive, so the recovered files cannot overwrite the data still to be recovered.";

// The design's labels grow with their text.
void ShowText(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QFont& font, int left, int top) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->move(left, top);
    ShowText(label, text);
    return label;
}

QFrame* MakeShape(QWidget* parent, const QRect& geometry, const char* outline) {
    auto* shape = new QFrame(parent);
    shape->setGeometry(geometry);
    shape->setStyleSheet(QStringLiteral("background-color: white; border: 1px solid %1;").arg(outline));
    return shape;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent), Model(new verandol::DeletedFilesModel(this)), Link(verandol::WindowLink::Create(this)) {
    LoadPictures();
    setWindowTitle(QStringLiteral("Verandol"));
    setWindowIcon(QIcon(QStringLiteral(":/resources/application.svg")));
    setFont(TahomaFont(11));
    move(308, 106);
    resize(880, 551);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setFixedHeight(kPanelHeight);
    BuildList();
    BuildPanel();
    BuildAdditions();
    BuildSourceBar();
    BuildPreview();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FilterBar1);
    layout->addWidget(ListSplitter, 1);
    layout->addWidget(Panel1);

    SetTabOrder();
    BindEvents();
    FormCreate();
}

TMainForm::~TMainForm() { StopWorkers(); }

void TMainForm::BuildList() {
    ListView1 = new QTreeView(this);
    ListView1->setModel(Model);
    ListView1->setItemDelegate(new verandol::GridLineDelegate(ListView1));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    ListView1->setSortingEnabled(false);
    QPalette palette = ListView1->palette();
    palette.setColor(QPalette::Base, QColor(192, 220, 192));
    ListView1->setPalette(palette);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    for (int column = 0; column < verandol::kShownColumnCount; ++column)
        ListView1->setColumnWidth(column, verandol::ListColumnWidth(static_cast<verandol::ListColumn>(column)));
}

void TMainForm::BuildPanel() {
    const QFont bold = TahomaFont(11, true);

    btnScan = new QPushButton(QStringLiteral("Scan Now"), Panel1);
    btnScan->setGeometry(16, 165, 121, 35);
    btnScan->setFont(bold);
    btnScan->setIcon(QIcon(QStringLiteral(":/resources/magnifier.svg")));
    btnScan->setIconSize(QSize(16, 16));
    btnScan->setCursor(Qt::PointingHandCursor);

    Drive_Background = MakeShape(Panel1, QRect(153, 4, 246, 196), "black");

    DriveList = new QListWidget(Panel1);
    DriveList->setGeometry(16, 24, 121, 135);
    DriveList->setSelectionMode(QAbstractItemView::SingleSelection);
    DriveList->setItemDelegate(new verandol::FixedHeightDelegate(13, DriveList));

    Drive_BackgroundSeparator = MakeShape(Panel1, QRect(153, 48, 246, 6), "grey");

    Drive_Icon = new QLabel(Panel1);
    Drive_Icon->setGeometry(161, 10, 32, 32);
    Drive_Icon->setAlignment(Qt::AlignCenter);
    Drive_Icon->setPixmap(QIcon(QStringLiteral(":/resources/drive_question.svg")).pixmap(32, 32));

    Drive_Title = new QLabel(QStringLiteral("Disk Information"), Panel1);
    Drive_Title->setGeometry(191, 11, 186, 32);
    Drive_Title->setFont(TahomaFont(17, true));
    Drive_Title->setAlignment(Qt::AlignCenter);

    // "Unkown" is the product's own spelling of these start texts; keep it.
    DriveName = MakeLabel(Panel1, QStringLiteral("Disk Name: Unkown"), bold, 161, 60);
    DriveSerial = MakeLabel(Panel1, QStringLiteral("Disk Serial: Unkown"), bold, 161, 79);
    DriveSize = MakeLabel(Panel1, QStringLiteral("Disk Size: Unkown"), bold, 161, 98);
    DriveMFTLocation = MakeLabel(Panel1, QStringLiteral("MFT Location: Unkown"), bold, 161, 117);
    DriveMFTSize = MakeLabel(Panel1, QStringLiteral("MFT Size: Unkown"), bold, 161, 136);
    DriveMFTRecordsCount = MakeLabel(Panel1, QStringLiteral("All Files: 0"), bold, 161, 155);

    PB = new QProgressBar(Panel1);
    PB->setGeometry(1, 206, 878, 16);
    PB->setRange(0, 100);
    PB->setValue(0);
    Panel1->installEventFilter(this);

    DLB = new verandol::TDirectoryListBox(Panel1);
    DLB->setGeometry(432, 57, 226, 97);
    DLB->setItemDelegate(new verandol::FixedHeightDelegate(16, DLB));
    DLB->SetDirectory(QDir::currentPath());

    DCB = new verandol::TDriveComboBox(Panel1, DLB->Directory());
    DCB->setGeometry(432, 32, 226, 19);

    Label1 = MakeLabel(Panel1, QStringLiteral("NTFS Drive List:"), bold, 16, 8);
    Label2 = MakeLabel(Panel1, QStringLiteral("Save Files to:"), bold, 432, 6);

    RadioGroup1 = new QGroupBox(QStringLiteral("Save Options"), Panel1);
    RadioGroup1->setGeometry(664, 32, 185, 99);
    rb1 = new QRadioButton(QStringLiteral("Overwrite Original"), Panel1);
    rb1->setGeometry(680, 64, 153, 17);
    rb1->setChecked(true);
    rb2 = new QRadioButton(QStringLiteral("Save as File_Number"), Panel1);
    rb2->setGeometry(680, 95, 145, 17);

    btnRecover = new QPushButton(QStringLiteral("Recover Now"), Panel1);
    btnRecover->setGeometry(536, 160, 313, 40);
    btnRecover->setFont(TahomaFont(13, true));

    edPath = new QLineEdit(Panel1);
    edPath->setGeometry(519, 5, 330, 21);
    edPath->setReadOnly(true);

    CheckBox1 = new QCheckBox(QStringLiteral("Check All Deleted Files"), Panel1);
    CheckBox1->setGeometry(664, 137, 185, 17);

    DeleteFileCount = MakeLabel(Panel1, QStringLiteral("Deleted Files: 0"), bold, 161, 174);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setGeometry(416, 6, 4, 194);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Button1 = new QPushButton(QStringLiteral("Website"), Panel1);
    Button1->setGeometry(432, 160, 97, 41);
    Button1->setFont(TahomaFont(13));
}

// What the window has beside its design: each keeps clear of the designed
// controls, and the filter bar stays hidden until asked for.
void TMainForm::BuildAdditions() {
    rbKeepFolders = new QRadioButton(QStringLiteral("Keep Folders"), Panel1);
    rbKeepFolders->setGeometry(680, 113, 153, 17);

    FilterBar1 = new verandol::FilterBar(this);
    FilterBar1->hide();
    connect(FilterBar1, &verandol::FilterBar::FilterChanged, this, &TMainForm::ApplyFilter);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &TMainForm::ShowFilterBar);
    // Escape closes the bar only from inside it: elsewhere it is the focused
    // control's own key (a drop-down list closes, an edit is undone).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), FilterBar1);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &TMainForm::HideFilterBar);

    PBText = new verandol::ProgressBarText(PB);
    connect(Model, &QAbstractItemModel::dataChanged, this, &TMainForm::ShowTickedStatus);
    connect(Model, &QAbstractItemModel::modelReset, this, &TMainForm::ShowTickedStatus);
    ShowTickedStatus();

    // The count of whole files sits under "Deleted Files: ", inside the
    // information box, which has just the room for one more line.
    RecoverableFileCount = MakeLabel(Panel1, QStringLiteral("Recoverable Files: 0"), TahomaFont(11, true), 161, 186);
    // How a recovery went: a note over the foot of the list, gone at the next
    // scan or recovery or when clicked, so the list keeps its designed size.
    RecoveryNote = new QLabel(ListView1);
    RecoveryNote->setStyleSheet(QStringLiteral("background-color: #FFFFE1; border: 1px solid grey; padding: 3px;"));
    RecoveryNote->hide();
    RecoveryNote->installEventFilter(this);

    cbFilesInUse = new QCheckBox(QStringLiteral("Files In Use"), Panel1);
    cbFilesInUse->setGeometry(296, 155, 100, 17);
    cbFilesInUse->setToolTip(QStringLiteral("Also list the files that are not deleted, so the files of a damaged "
                                            "volume can be copied out"));
    ListView1->setColumnHidden(static_cast<int>(verandol::ListColumn::Deleted), true);
    BuildKeepTimesOption();

    actOtherScans = new QAction(QStringLiteral("Search or Deep Scan..."), DriveList);
    DriveList->addAction(actOtherScans);
    DriveList->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(actOtherScans, &QAction::triggered, this, [this] { Guarded([this] { OfferOtherScans(); }); });
    // A failing drive is best copied once before anything else reads it.
    actImage = new QAction(QStringLiteral("Image This Drive First..."), DriveList);
    DriveList->addAction(actImage);
    connect(actImage, &QAction::triggered, this, [this] { Guarded([this] { OfferImage(); }); });
    btnImage = new QPushButton(Panel1);
    btnImage->setGeometry(115, 4, 22, 19);
    btnImage->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnImage->setToolTip(QStringLiteral("Image this drive first: copy a failing drive into an image file, good "
                                        "areas first, then scan the copy"));
    btnImage->setCursor(Qt::PointingHandCursor);
    connect(btnImage, &QPushButton::clicked, this, [this] { Guarded([this] { OfferImage(); }); });
    Carving = new verandol::CarveControls(Panel1, DriveList, ListView1, PB);
    connect(Carving, &verandol::CarveControls::CarveRequested, this, [this] { Guarded([this] { btnCarveClick(); }); });
    ListView1->setColumnHidden(static_cast<int>(verandol::ListColumn::Check), true);
}

void TMainForm::BuildKeepTimesOption() {
    cbKeepTimes = new QCheckBox(QStringLiteral("Keep File Times"), Panel1);
    cbKeepTimes->setGeometry(296, 174, 115, 17);
    cbKeepTimes->setChecked(true);
    cbKeepTimes->setToolTip(QStringLiteral("Give each recovered file the modification and access times its record "
                                           "holds, rather than the time it was written"));
}

void TMainForm::ShowListNote(const QString& text) {
    RecoveryNote->setText(text);
    RecoveryNote->adjustSize();
    // Over the foot of the rows, clear of the scroll bar below them.
    RecoveryNote->move(4, ListView1->viewport()->geometry().bottom() - RecoveryNote->height() - 4);
    RecoveryNote->show();
    RecoveryNote->raise();
}

void TMainForm::ShowFilterBar() {
    FilterBar1->show();
    FilterBar1->Text->setFocus();
    FilterBar1->Text->selectAll();
}

void TMainForm::HideFilterBar() {
    if (!FilterBar1->isVisible()) return;
    FilterBar1->hide();
    FilterBar1->Reset();
    ApplyFilter({});
    ListView1->setFocus();
}

void TMainForm::ApplyFilter(const verandol::RowFilter& filter) {
    Model->SetFilter(filter);
    CheckBox1->setChecked(Model->AllShownTicked());
}

void TMainForm::ShowTickedStatus() {
    const verandol::TickedTotals ticked = Model->Ticked();
    QString text = QStringLiteral("Ticked Files: %1").arg(ticked.files);
    if (ticked.files > 0) text += QStringLiteral(", %1").arg(QString::fromStdString(verandol::SizeText(ticked.bytes)));
    if (ticked.hidden > 0) text += QStringLiteral(" (%1 hidden by the filter)").arg(ticked.hidden);
    PBText->SetStatus(text);
}

void TMainForm::ShowRecoverableCount() {
    // Rows nothing could judge are neither recoverable nor lost: said apart.
    QString text = QStringLiteral("Recoverable Files: %1").arg(Model->RecoverableCount());
    if (Model->UnknownShareCount() > 0) text += QStringLiteral(", %1 unchecked").arg(Model->UnknownShareCount());
    ShowText(RecoverableFileCount, text);
}

void TMainForm::SetTabOrder() {
    // The panel's controls in their design order, then the list.
    const QWidget* const order[] = {btnScan, DriveList, btnImage, PB,        DLB,        DCB,    RadioGroup1, rb1,
                                    rb2,     rbKeepFolders, btnRecover, edPath, CheckBox1, Button1, cbFilesInUse,
                                    Carving->Button, cbKeepTimes, ListView1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void TMainForm::BindEvents() {
    connect(btnScan, &QPushButton::clicked, this, [this] { Guarded([this] { btnScanClick(); }); });
    connect(btnRecover, &QPushButton::clicked, this, [this] { Guarded([this] { btnRecoverClick(); }); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { Guarded([this] { CheckBox1Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    connect(DLB, &verandol::TDirectoryListBox::DirectoryChanged, this, [this] { Guarded([this] { DLBChange(); }); });
    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guarded([this, column] { ListView1ColumnClick(column); }); });
    // The drive selector's own link, not a handler of ours.
    connect(DCB, &QComboBox::currentIndexChanged, DLB, [this](int index) {
        if (index >= 0) DLB->SetDirectory(DCB->itemText(index));
    });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // PB keeps to the panel's bottom edge and follows its width.
    if (watched == Panel1 && event->type() == QEvent::Resize)
        PB->setGeometry(1, Panel1->height() - 17, Panel1->width() - 2, 16);
    if (watched == RecoveryNote && event->type() == QEvent::MouseButtonPress) RecoveryNote->hide();
    return QWidget::eventFilter(watched, event);
}

void TMainForm::FormCreate() {
    ApplyDiscovery();
    // No job exists yet, so Scanning, StopScan, Recovering and StopRecover
    // all read false; each command starts its job with fresh flags.
    edPath->setText(DLB->Directory());
}

bool TMainForm::Scanning() const { return ScanControl && ScanControl->Running(); }
bool TMainForm::StopScan() const { return ScanControl && ScanControl->StopRequested(); }
bool TMainForm::Recovering() const { return RecoverControl && RecoverControl->Running(); }
bool TMainForm::StopRecover() const { return RecoverControl && RecoverControl->StopRequested(); }

void TMainForm::ApplyDiscovery() {
    const verandol::DiscoveryResult found = verandol::WithBackupBootVolumes(verandol::DiscoverVolumes());
    DriveList->clear();
    // Read through UDisks2 when picked for a scan; the "(no access)" mark goes then.
    for (const verandol::DiscoveredDrive& drive : found.drives) verandol::AddDriveEntry(DriveList, drive, false);
    // What holds no NTFS volume comes after: the offer of a search or a deep scan.
    for (const verandol::DiscoveredDrive& drive : found.others) verandol::AddDriveEntry(DriveList, drive, true);
    if (found.drive_name_text) ShowText(DriveName, QString::fromStdString(*found.drive_name_text));
    if (found.drive_serial_text) ShowText(DriveSerial, QString::fromStdString(*found.drive_serial_text));
}

void TMainForm::btnScanClick() {
    if (Scanning()) {
        ScanControl->RequestStop();
        return;
    }
    if (Recovering()) return;  // btnScan is disabled then; never both kinds at once
    const QList<QListWidgetItem*> selected = DriveList->selectedItems();
    if (selected.isEmpty()) {
        verandol::ShowMessage(QStringLiteral("Please select a drive!"));
        return;
    }
    QListWidgetItem* item = selected.first();
    if (item->data(verandol::kOtherRole).toBool()) return Offer(item, QString::fromUtf8(kNoVolumeHere));
    StartScan(item->text(), item->data(kPathRole).toString());
}

void TMainForm::btnCarveClick() {
    QListWidgetItem* item = SelectedForNewJob();
    if (!item) return;
    // What holds no NTFS volume is carved whole, from its first byte.
    const QString path = item->data(kPathRole).toString();
    StartScan(item->text(),
              item->data(verandol::kOtherRole).toBool()
                  ? QString::fromStdString(verandol::FormatOffsetAddress(path.toStdString(), 0))
                  : path,
              false, true);
}

QListWidgetItem* TMainForm::SelectedForNewJob() {
    if (Scanning() || Recovering()) return nullptr;  // one job at a time, as the buttons keep it
    const QList<QListWidgetItem*> selected = DriveList->selectedItems();
    if (selected.isEmpty()) {
        verandol::ShowMessage(QStringLiteral("Please select a drive!"));
        return nullptr;
    }
    return selected.first();
}

void TMainForm::OfferOtherScans() {
    QListWidgetItem* item = SelectedForNewJob();
    if (!item) return;
    Offer(item, item->data(verandol::kOtherRole).toBool() ? QString::fromUtf8(kNoVolumeHere) : QString());
}

void TMainForm::Offer(QListWidgetItem* item, const QString& why) {
    const QString path = item->data(kPathRole).toString();
    const verandol::ScanOffer offer =
        verandol::MakeScanOffer(item->text(), why, path, item->data(verandol::kSizeRole).toLongLong(),
                                !item->data(kUnreadRole).toBool());
    switch (verandol::AskScanOffer(this, offer)) {
        case verandol::OfferChoice::Search: return StartOtherScan(item, true, false);
        case verandol::OfferChoice::DeepScan:
            return StartOtherScan(item, false, item->data(verandol::kOtherRole).toBool() && offer.search_possible);
        case verandol::OfferChoice::Cancel: return;
    }
}

void TMainForm::StartOtherScan(QListWidgetItem* item, bool search, bool whole_disk) {
    if (search) return StartSearch(item);
    // A whole disk is read from its first byte to its last, whatever its
    // partitions: the volume at its byte 0 reaches that far.
    const QString path = item->data(kPathRole).toString();
    StartScan(item->text(),
              whole_disk ? QString::fromStdString(verandol::FormatOffsetAddress(path.toStdString(), 0)) : path, true);
}

void TMainForm::StartScan(const QString& drive_name, const QString& path, bool deep, bool carve) {
    // A fresh job, running before the thread does: a press in the meantime
    // only stops it, and no recovery slips in before the walk disables btnRecover.
    ScanControl = std::make_shared<verandol::JobControl>();
    ScanNotes.clear();
    ScanLosses.clear();
    ScanOpened = false;
    // The rows listed so far were read with the last scan's volume, which
    // this scan replaces as it publishes its own, even if it fails right
    // after: rows and volume go together, so no recovery can read the rows
    // of one scan from the volume of another.
    Model->Clear();
    ScanGeometry = {};
    // The new rows arrive unticked and in the scan's order.
    CheckBox1->setChecked(false);
    SortOrder.Reset();
    ListView1->header()->setSortIndicatorShown(false);
    ShowText(DeleteFileCount, QStringLiteral("Deleted Files: 0"));
    ShowRecoverableCount();
    const verandol::ScanOptions options{cbFilesInUse->isChecked()};
    // The deep scan lists the files a formatted-over volume still had in use too.
    ListView1->setColumnHidden(static_cast<int>(verandol::ListColumn::Deleted), !options.in_use_too && !deep);
    ListView1->setColumnHidden(static_cast<int>(verandol::ListColumn::Check), !carve);
    Carving->HideOffer();
    // The volumes a search found on this disk, whose records the deep scan
    // then reads with their own geometry.
    verandol::DeepScanOptions deep_options;
    const verandol::VolumeAddress address = verandol::ParseVolumeAddress(path.toStdString());
    if (address.offset == 0) deep_options.found_volumes = FoundOn[QString::fromStdString(address.path)];
    auto* worker =
        deep ? new TScanThread(
                   [name = drive_name.toStdString(), address = path.toStdString(),
                    deep_options](verandol::ScanEvents& events) {
                       verandol::DeepScanVolumePath(name, address, events, deep_options);
                   },
                   this, Link, ScanControl)
             : new TScanThread(drive_name.toStdString(), path.toStdString(), this, Link, ScanControl, options, carve);
    // Carved rows take the names the volume still remembers, as on the command line.
    worker->MakeNamer = verandol::MakeCarvedRowNamer;
    connect(worker, &TScanThread::note, this, [this](const QString& text) {
        QString sentence = text;
        sentence[0] = sentence[0].toUpper();
        ScanNotes += (ScanNotes.isEmpty() ? QString() : QStringLiteral(" ")) + sentence + QStringLiteral(".");
    });
    connect(worker, &TScanThread::unreadable, this, [this](const QString& text) { ScanLosses = text; });
    connect(worker, &TScanThread::diskLabels, this, &TMainForm::ShowDiskLabels);
    connect(worker, &TScanThread::diskLabels, this, [this] { ScanOpened = true; });
    connect(worker, &TScanThread::driveSize, this, [this](const QString& text) { ShowText(DriveSize, text); });
    connect(worker, &TScanThread::mftLocation, this,
            [this](const QString& text) { ShowText(DriveMFTLocation, text); });
    connect(worker, &TScanThread::geometryPublished, this,
            [this](const verandol::PublishedGeometry& published) { ScanGeometry = published; });
    connect(worker, &TScanThread::mftFigures, this, [this](const QString& size, const QString& count) {
        ShowText(DriveMFTSize, size);
        ShowText(DriveMFTRecordsCount, count);
    });
    connect(worker, &TScanThread::walkStarting, this, &TMainForm::WalkStarting);
    connect(worker, &TScanThread::progress, PB, &QProgressBar::setValue);
    connect(worker, &TScanThread::carveStarting, this, [this](int progress_max) {
        Carving->Starting(progress_max);
        PBText->Start(progress_max, QStringLiteral("MiB"), QStringLiteral("Carving free space: "));
    });
    connect(worker, &TScanThread::carveProgress, Carving, &verandol::CarveControls::Moved);
    connect(worker, &TScanThread::ended, this,
            [this, path, deep, carve](bool restore_buttons, const QString& failure) {
                ScanEnded(restore_buttons, failure, path, deep);
                if (restore_buttons && failure.isEmpty() && !deep && !carve && !StopScan())
                    Carving->OfferAfterScan(Model->DeletedCount());
            });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    ScanWorker = worker;
    worker->start();
}

void TMainForm::StartSearch(QListWidgetItem* item) {
    // The search is the scan job of its time: btnScan stops it, and no scan
    // or recovery runs beside it.
    ScanControl = std::make_shared<verandol::JobControl>();
    const QString path = item->data(kPathRole).toString();
    auto* worker = new TSearchThread(path.toStdString(), Link, ScanControl);
    connect(worker, &TSearchThread::starting, this, &TMainForm::SearchStarting);
    connect(worker, &TSearchThread::progress, PB, &QProgressBar::setValue);
    connect(worker, &TSearchThread::ended, this,
            [this, path](const std::vector<verandol::FoundVolume>& found, bool stopped, const QString& failure) {
                SearchEnded(found, stopped, failure, path);
            });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    SearchWorker = worker;
    worker->start();
}

void TMainForm::SearchStarting(int progress_max) {
    RecoveryNote->hide();
    PB->setRange(0, progress_max);
    PB->setValue(0);
    PBText->Start(progress_max, QStringLiteral("MiB"));
    btnScan->setText(QStringLiteral("Stop Searching"));
    btnRecover->setEnabled(false);
}

void TMainForm::SearchEnded(const std::vector<verandol::FoundVolume>& found, bool stopped, const QString& failure,
                            const QString& path) {
    PBText->Finish();
    btnScan->setText(QStringLiteral("Scan Now"));
    btnRecover->setEnabled(true);
    QListWidgetItem* searched = verandol::FindDriveEntry(DriveList, path);
    if (!failure.isEmpty()) {
        verandol::ShowMessage(QStringLiteral("The search could not go on: %1.").arg(failure));
        return;
    }
    const QString disk = searched ? searched->data(verandol::kSourceNameRole).toString() : path;
    const QString so_far = stopped ? QStringLiteral(" before it was stopped") : QString();
    std::vector<verandol::KnownVolume>& known = FoundOn[path];
    known.clear();
    for (const verandol::FoundVolume& volume : found) known.push_back({volume.offset, volume.size, volume.geometry});
    if (found.empty()) {
        verandol::ShowMessage(QStringLiteral("The search found no NTFS volume on %1%2.").arg(disk, so_far));
        return;
    }
    if (searched) {
        // The first volume found is selected, ready for "Scan Now".
        if (QListWidgetItem* first = verandol::AddFoundEntries(DriveList, searched, found)) {
            DriveList->setCurrentItem(first);
            DriveList->scrollToItem(first);
        }
    }
    ShowListNote(found.size() == 1
                     ? QStringLiteral("The search found 1 NTFS volume on %1%2; it is listed under the disk.")
                           .arg(disk, so_far)
                     : QStringLiteral("The search found %1 NTFS volumes on %2%3; they are listed under the disk.")
                           .arg(found.size())
                           .arg(disk, so_far));
}

void TMainForm::RelistRead(const QString& path) {
    for (int row = 0; row < DriveList->count(); ++row) {
        QListWidgetItem* item = DriveList->item(row);
        if (!item->data(kUnreadRole).toBool() || item->data(kPathRole).toString() != path) continue;
        // The scan asked for the device; looking into it again reuses that
        // answer, never a second prompt. A disk shows its NTFS partitions.
        const verandol::DiscoveryResult found =
            verandol::WithBackupBootVolumes(verandol::DiscoverVolumesIn({path.toStdString()}));
        if (found.drives.empty()) return;  // refused, or no NTFS: the entry stays as it was
        const bool selected = item->isSelected();
        delete item;
        for (std::size_t i = 0; i < found.drives.size(); ++i) {
            QListWidgetItem* read = verandol::AddDriveEntry(DriveList, found.drives[i], false, row + static_cast<int>(i));
            if (selected && i == 0) DriveList->setCurrentItem(read);
        }
        return;
    }
}

void TMainForm::ShowDiskLabels(const QString& name, const QString& serial) {
    ShowText(DriveName, name);
    ShowText(DriveSerial, serial);
}

void TMainForm::WalkStarting(int progress_max) {
    Model->Clear();
    ShowRecoverableCount();
    RecoveryNote->hide();
    PB->setRange(0, progress_max);
    PB->setValue(0);
    PBText->Start(progress_max, QStringLiteral("records"));
    btnScan->setText(QStringLiteral("Stop Scanning"));
    btnRecover->setEnabled(false);
    if (!ScanNotes.isEmpty()) ShowListNote(ScanNotes);
}

void TMainForm::ScanEnded(bool restore_buttons, const QString& failure, const QString& path, bool deep) {
    PBText->Finish();
    if (restore_buttons) {
        btnScan->setText(QStringLiteral("Scan Now"));
        btnRecover->setEnabled(true);
    }
    RelistRead(path);
    // The volume opened, but neither boot sector nor MFT could be had: what
    // is left on it is found by the passes that need neither. Offered once
    // the worker is released, which waits for this call.
    if (!failure.isEmpty() && !restore_buttons && ScanOpened && !deep) {
        const QString why = QStringLiteral("The scan could not go on: %1.").arg(failure);
        QTimer::singleShot(0, this, [this, path, why] {
            if (Scanning() || Recovering()) return;  // another job was started meanwhile
            if (QListWidgetItem* item = verandol::FindDriveEntry(DriveList, path)) Guarded([&] { Offer(item, why); });
        });
        return;
    }
    // Without this a failed scan looks like a volume without deleted files.
    // The labels keep what the scan had shown.
    if (!failure.isEmpty()) {
        verandol::ShowMessage(QStringLiteral("The scan could not go on: %1.").arg(failure) +
                              (ScanNotes.isEmpty() ? QString() : QStringLiteral(" ") + ScanNotes) +
                              (ScanLosses.isEmpty() ? QString() : QStringLiteral(" ") + LossSentence(ScanLosses)));
        return;
    }
    // Bad sectors: what they cost stays over the list, and is said once.
    if (!ScanLosses.isEmpty()) {
        ShowListNote(LossSentence(ScanLosses));
        verandol::ShowMessage(QStringLiteral("Some of the device could not be read. ") + LossSentence(ScanLosses),
                              QMessageBox::Warning);
    }
    const QString end = verandol::ScanEndMessage(StopScan(), Model->TotalCount(), Model->DeletedCount(), deep);
    if (!end.isEmpty()) verandol::ShowMessage(end);
}

QString TMainForm::LossSentence(const QString& note) {
    QString sentence = note;
    if (!sentence.isEmpty()) sentence[0] = sentence[0].toUpper();
    return sentence + QStringLiteral(".");
}

void TMainForm::AddDeletedFileRow(std::vector<verandol::DeletedFileRow> rows) {
    Model->AppendRows(std::move(rows));
    // Every row the scan found, whether the filter shows it or not.
    ShowText(DeleteFileCount, QStringLiteral("Deleted Files: %1").arg(Model->DeletedCount()));
    ShowRecoverableCount();
}

void TMainForm::SetFolders(std::vector<std::string> folders) { Model->SetFolders(std::move(folders)); }

void TMainForm::RenameRows(std::vector<std::uint32_t> places, std::vector<verandol::DeletedFileRow> rows) {
    Model->RenameRows(places, std::move(rows));
}

void TMainForm::WithdrawRows(std::vector<std::uint32_t> places) {
    Model->WithdrawRows(places);
    ShowText(DeleteFileCount, QStringLiteral("Deleted Files: %1").arg(Model->DeletedCount()));
    ShowRecoverableCount();
}

void TMainForm::btnRecoverClick() {
    if (Recovering()) {
        RecoverControl->RequestStop();
        return;
    }
    if (Scanning()) return;  // the walk disables btnRecover; never both kinds at once
    // The rows as shown now, by identity: the worker follows this order even
    // if the list is sorted or filtered while it runs. Ticked rows the
    // filter hides are recovered only when the person says so.
    bool hidden_too = false;
    if (!AskAboutHiddenTicks(&hidden_too)) return;
    int ticked = 0;
    std::vector<verandol::RowId> order = Model->Ordinals(hidden_too);
    for (const verandol::RowId id : order) ticked += Model->RowByOrdinal(id)->ticked;
    if (ticked == 0) {
        verandol::ShowMessage(QStringLiteral("Please select a file to recover!"));
        return;
    }
    const std::string refusal = verandol::OutputDeviceRefusal(ScanGeometry.path, DLB->Directory().toStdString());
    if (!refusal.empty()) {
        QString text = QString::fromStdString(refusal);
        text[0] = text[0].toUpper();
        verandol::ShowMessage(text + QStringLiteral(". ") + QString::fromUtf8(kChooseAnotherDrive));
        return;
    }
    StartRecovery(ticked, std::move(order));
}

bool TMainForm::AskAboutHiddenTicks(bool* hidden_too) {
    const verandol::TickedTotals ticked = Model->Ticked();
    *hidden_too = false;
    if (ticked.hidden == 0) return true;
    const int shown = ticked.files - ticked.hidden;
    switch (verandol::AskQuestion(this, {verandol::HiddenTickedQuestion(ticked.files, ticked.hidden),
                                         {QStringLiteral("Recover All %1").arg(ticked.files),
                                          QStringLiteral("Only the %1 Shown").arg(shown), QStringLiteral("Cancel")}})) {
        case 0: *hidden_too = true; return true;
        case 1: return true;
        default: return false;
    }
}

void TMainForm::StartRecovery(int ticked, std::vector<verandol::RowId> order) {
    // A fresh job, running before the thread does, as for the scan.
    RecoverControl = std::make_shared<verandol::JobControl>();
    RecoveryNote->hide();
    auto* worker = new TRecoverThread(ScanGeometry, ticked, std::move(order), this, Link, RecoverControl);
    connect(worker, &TRecoverThread::starting, this, &TMainForm::RecoveryStarting);
    connect(worker, &TRecoverThread::progress, PB, &QProgressBar::setValue);
    connect(worker, &TRecoverThread::summary, this, &TMainForm::RecoverySummary);
    connect(worker, &TRecoverThread::ended, this, &TMainForm::RecoveryEnded);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    RecoverWorker = worker;
    worker->start();
}

void TMainForm::RecoveryStarting(int ticked) {
    PB->setRange(0, ticked);
    PB->setValue(0);
    PBText->Start(ticked, QStringLiteral("files"));
    RecoveryTicked = ticked;
    RecoveredFiles = 0;
    RecoveredFolder.clear();
    btnRecover->setText(QStringLiteral("停止恢复"));
    btnScan->setEnabled(false);
}

void TMainForm::RecoverySummary(int written, int incomplete, int unchecked, int not_written, const QString& folder,
                                int unread_files, qint64 unread_bytes) {
    RecoveredFiles = written;
    RecoveredFolder = folder;
    QString note = QStringLiteral("Recovery: %1 written, %2 incomplete").arg(written).arg(incomplete);
    if (unread_files > 0)
        note += QStringLiteral(" (%1 with %2 bytes the device could not read, zeros in the files)")
                    .arg(unread_files)
                    .arg(unread_bytes);
    if (unchecked > 0) note += QStringLiteral(", %1 unchecked").arg(unchecked);
    if (not_written > 0) note += QStringLiteral(", %1 not written").arg(not_written);
    ShowListNote(note + QStringLiteral(", in %1").arg(folder));
}

void TMainForm::RecoveryEnded(const QString& report) {
    btnRecover->setText(QStringLiteral("Recover Now"));
    btnScan->setEnabled(true);
    PBText->Finish();
    verandol::ShowMessage(
        verandol::RecoveryEndMessage(StopRecover(), RecoveryTicked, RecoveredFiles, RecoveredFolder, report));
}

verandol::RecoveryRowView TMainForm::ReadRecoveryRow(verandol::RowId id) const {
    const verandol::ListRow* row = Model->RowByOrdinal(id);
    if (!row) return {};
    const bool keep = rbKeepFolders->isChecked();
    verandol::RecoveryRowView view{row->ticked,
            row->cells[0],
            row->cells[1],
            rb1->isChecked() || keep,
            DLB->Directory().toStdString(),
            keep,
            row->cells[static_cast<std::size_t>(verandol::ListColumn::Folder)],
            row->found_deep,
            row->found,
            row->carved,
            row->carved_extent,
            row->cells[static_cast<std::size_t>(verandol::ListColumn::FileType)]};
    view.keep_times = cbKeepTimes->isChecked();
    return view;
}

void TMainForm::CheckBox1Click() { Model->SetAllTicked(CheckBox1->isChecked()); }

void TMainForm::DLBChange() { edPath->setText(DLB->Directory()); }

// Compares two texts of the column being sorted; ListView1ColumnClick hands
// it the texts of column `SortColumn`, so the compare itself needs no column.
int TMainForm::ListView1Compare(std::string_view item1, std::string_view item2) const {
    return verandol::CompareListTexts(item1, item2);
}

void TMainForm::ListView1ColumnClick(int column) {
    SortColumn = column;
    const bool descending = SortOrder.DescendingFor(column);
    verandol::SortListColumn(*Model, SortColumn, descending,
                             [this](std::string_view a, std::string_view b) { return ListView1Compare(a, b); });
    ListView1->header()->setSortIndicatorShown(true);
    ListView1->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TMainForm::Button1Click() {
    verandol::OpenHelpPage();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    StopWorkers();
    QWidget::closeEvent(event);
}

void TMainForm::StopWorkers() {
    if (ScanWorker || SearchWorker || ImageWorker) ScanControl->RequestStop();
    if (RecoverWorker) RecoverControl->Abandon();
    // Releases a worker blocked on a call to this window; a fresh link
    // serves any worker started should the window be shown again.
    Link->Sever();
    Link = verandol::WindowLink::Create(this);
    for (QThread* worker : {static_cast<QThread*>(ScanWorker.data()), static_cast<QThread*>(SearchWorker.data()),
                            static_cast<QThread*>(RecoverWorker.data()), static_cast<QThread*>(ImageWorker.data())}) {
        if (!worker) continue;
        disconnect(worker, nullptr, this, nullptr);
        disconnect(worker, nullptr, PB, nullptr);
        worker->wait(QDeadlineTimer(kShutdownWaitMs));
    }
}
