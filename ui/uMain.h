// The one window: the deleted-files list above, the fixed panel below.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "deep/record_groups.h"
#include "recover/recovery_row_source.h"
#include "scan/deleted_file_list.h"
#include "scan/deleted_file_row.h"
#include "scan/scan_volume.h"
#include "ui/list_sort.h"
#include "ui/message_box.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QListWidgetItem;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QTreeView;

class TScanThread;
class TSearchThread;
class TRecoverThread;
class TImageThread;

namespace verandol {
class CarveControls;
class DeletedFilesModel;
class FilterBar;
class ProgressBarText;
class JobControl;
class PreviewPane;
class PreviewReader;
class ThumbnailModel;
class ThumbnailView;
struct PreviewRequest;
struct PreviewResult;
class TDirectoryListBox;
class TDriveComboBox;
class WindowLink;
struct ListRow;
struct FoundVolume;
struct RowFilter;
}  // namespace verandol

// The workers reach the list only through the two interfaces it implements,
// and only on this window's thread.
class TMainForm : public QWidget, public verandol::DeletedFileList, public verandol::RecoveryRowSource {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    QFrame* Panel1;
    QPushButton* btnScan;
    QTreeView* ListView1;
    QFrame* Drive_Background;
    QListWidget* DriveList;
    QFrame* Drive_BackgroundSeparator;
    QLabel* Drive_Icon;
    QLabel* Drive_Title;
    QLabel* DriveName;
    QLabel* DriveSerial;
    QLabel* DriveSize;
    QLabel* DriveMFTLocation;
    QLabel* DriveMFTSize;
    QLabel* DriveMFTRecordsCount;
    QProgressBar* PB;
    verandol::TDirectoryListBox* DLB;
    verandol::TDriveComboBox* DCB;
    QLabel* Label1;
    QLabel* Label2;
    QGroupBox* RadioGroup1;
    QRadioButton* rb1;
    QRadioButton* rb2;
    // Beside the design: the third save option, the filter bar above the
    // list, the count of whole files and the note a recovery leaves.
    QRadioButton* rbKeepFolders;
    verandol::FilterBar* FilterBar1;
    QLabel* RecoverableFileCount;
    QLabel* RecoveryNote;
    // Lists the files still in use too, so a damaged volume's files can be
    // copied out; tucked into the information box's free corner.
    QCheckBox* cbFilesInUse;
    QCheckBox* cbKeepTimes = nullptr;  // recovered files get their records' times
    // The drive list's context menu: the search for lost volumes and the
    // deep scan, offered for the selected entry whatever it holds.
    QAction* actOtherScans;
    QPushButton* btnRecover;
    QLineEdit* edPath;
    QCheckBox* CheckBox1;
    QLabel* DeleteFileCount;
    QFrame* Bevel1;
    QPushButton* Button1;

    void FormCreate();
    void btnScanClick();
    void btnRecoverClick();
    void DLBChange();
    int ListView1Compare(std::string_view item1, std::string_view item2) const;
    void ListView1ColumnClick(int column);
    void CheckBox1Click();
    void Button1Click();

    // Window thread, while a worker waits.
    void AddDeletedFileRow(std::vector<verandol::DeletedFileRow> rows) override;
    void SetFolders(std::vector<std::string> folders) override;
    void WithdrawRows(std::vector<std::uint32_t> places) override;
    void RenameRows(std::vector<std::uint32_t> places, std::vector<verandol::DeletedFileRow> rows) override;
    // Ctrl+F and Escape.
    void ShowFilterBar();
    // The offer of a search or deep scan for the selected entry.
    void OfferOtherScans();
    // Asks for an image file and copies the selected drive into it, good
    // areas first, before anything else reads it.
    void OfferImage();
    // The image or device named on the command line: selected and scanned,
    // or offered a search or deep scan when it holds no NTFS volume.
    void ScanSourceArgument(const QString& path);
    // Stand-ins for the file dialog and the question at the end, for tests:
    // the image's path (empty: cancelled), and whether to scan the copy.
    std::function<QString(const QString& source, const QString& suggested)> AskImagePath;
    std::function<bool(const QString& said)> ConfirmScanOfImage;
    QAction* actImage = nullptr;
    QPushButton* btnImage = nullptr;
    // "Carve Free Space": scans the selected entry, then carves its free
    // clusters for files whose record is gone; also offered after a scan
    // that listed few deleted files.
    verandol::CarveControls* Carving = nullptr;
    void btnCarveClick();

    // At the panel's right edge: the choice of what to read and how, and of
    // the list's view. Open Image... lists an image file and scans it; the
    // searches act on the selected entry.
    QToolBar* ToolBar1 = nullptr;
    QAction* actOpenImage = nullptr;
    QAction* actSearch = nullptr;
    QAction* actDeepScan = nullptr;
    QAction* actListView = nullptr;
    QAction* actThumbnails = nullptr;
    QAction* actPreview = nullptr;
    // Beside edPath: a folder dialog, with New Folder, for the output.
    QPushButton* btnOutputFolder = nullptr;
    // Stand-ins for the file and folder dialogs, for tests: the image
    // chosen and the output folder chosen (empty: cancelled).
    std::function<QString()> AskSourceImage;
    std::function<QString(const QString& start)> AskOutputFolder;
    void OpenImage();
    void ChooseOutputFolder();
    void SearchSelected();
    void DeepScanSelected();

    // Beside the list once a row is chosen: the current row's preview; and
    // the thumbnails of the picture rows in place of the list when asked for.
    QSplitter* ListSplitter = nullptr;
    QStackedWidget* ListPages = nullptr;
    verandol::ThumbnailView* ThumbView = nullptr;
    verandol::ThumbnailModel* Thumbs = nullptr;
    verandol::PreviewPane* Preview = nullptr;
    void ShowThumbnails(bool shown);
    void HideFilterBar();
    verandol::RecoveryRowView ReadRecoveryRow(verandol::RowId row) const override;

    // The state shared with the workers, read from the current jobs: a scan
    // or recovery runs until its worker ends, and its stop request stays set
    // until the next job of its kind starts.
    bool Scanning() const;
    bool StopScan() const;
    bool Recovering() const;
    bool StopRecover() const;
    // The current jobs, or null before the first; they outlive the window.
    std::shared_ptr<const verandol::JobControl> ScanJob() const { return ScanControl; }
    std::shared_ptr<const verandol::JobControl> RecoveryJob() const { return RecoverControl; }

    verandol::DeletedFilesModel* Rows() const { return Model; }
    const verandol::PublishedGeometry& Geometry() const { return ScanGeometry; }
    int SortColumn = 0;

    // The deleted-file list follows the window; the panel keeps its height.
    static constexpr int kPanelHeight = 223;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildList();
    void BuildPanel();
    void SetTabOrder();
    void BindEvents();
    void ApplyDiscovery();
    // `deep`: the deep scan instead of the walk of the MFT. `carve`: the
    // free clusters are carved after the walk.
    void StartScan(const QString& drive_name, const QString& path, bool deep = false, bool carve = false);
    // Offers a search or a deep scan of `item`; `why` says why the scan
    // alone does not do.
    void Offer(QListWidgetItem* item, const QString& why);
    void StartSearch(QListWidgetItem* item);
    void SearchStarting(int progress_max);
    void SearchEnded(const std::vector<verandol::FoundVolume>& found, bool stopped, const QString& failure,
                     const QString& path);
    // Replaces an entry start-up could not read by what its scan let be read.
    void RelistRead(const QString& path);
    void StartRecovery(int ticked, std::vector<verandol::RowId> order);
    // The selected entry for a job about to start; null, after saying so
    // when nothing is selected, while another job runs or none is selected.
    QListWidgetItem* SelectedForNewJob();
    void StartImage(const QString& source, const QString& image);
    void ImageEnded(bool stopped, const QString& failure, qint64 unread_bytes, int unread_areas, const QString& image,
                    const QString& map);
    void StopWorkers();
    // Qt must not see an exception; the window stays open with its state.
    template <class Handler> void Guarded(Handler handler) {
        try {
            handler();
        } catch (const std::exception& error) {
            verandol::ShowMessage(QString::fromUtf8(error.what()), QMessageBox::Critical);
        }
    }

    // Slots for the workers' queued signals.
    void ShowDiskLabels(const QString& name, const QString& serial);
    void WalkStarting(int progress_max);
    void ScanEnded(bool restore_buttons, const QString& failure, const QString& path, bool deep);
    void RecoveryStarting(int ticked);
    void RecoveryEnded(const QString& report);
    void RecoverySummary(int written, int incomplete, int unchecked, int not_written, const QString& folder,
                         int unread_files, qint64 unread_bytes);
    void BuildAdditions();
    void BuildKeepTimesOption();
    void BuildSourceBar();
    void BuildPreview();
    // The row at `row` of the model as shown, previewed in the pane.
    void PreviewRow(int row);
    // The request that reads the row at `row` of the model as shown.
    verandol::PreviewRequest PreviewRequestFor(int row) const;
    void StartOtherScan(QListWidgetItem* item, bool search, bool whole_disk);
    void ShowRecoverableCount();
    // A note on how the volume was read, shown over the foot of the list.
    void ShowListNote(const QString& text);
    // A note from the engine as a sentence: capital first, full stop last.
    static QString LossSentence(const QString& note);
    // Narrows the list; Check All then shows whether every row shown is ticked.
    void ApplyFilter(const verandol::RowFilter& filter);
    // The progress bar's line between jobs: the ticked rows and their size.
    void ShowTickedStatus();
    // Asks whether the ticked rows the filter hides are recovered too; false
    // when the recovery is cancelled.
    bool AskAboutHiddenTicks(bool* hidden_too);

    verandol::DeletedFilesModel* Model;
    verandol::PublishedGeometry ScanGeometry;
    QString ScanNotes;  // what the current scan said about how it read the volume
    // What the device could not deliver to the last scan; empty when it read everything.
    QString ScanLosses;
    bool ScanOpened = false;  // the current scan got as far as the volume's boot sector
    // By disk path: the volumes the last search of that disk found on it.
    std::map<QString, std::vector<verandol::KnownVolume>> FoundOn;
    std::shared_ptr<verandol::WindowLink> Link;
    std::shared_ptr<verandol::JobControl> ScanControl;
    std::shared_ptr<verandol::JobControl> RecoverControl;
    QPointer<TScanThread> ScanWorker;
    QPointer<TSearchThread> SearchWorker;  // a search runs as the scan job, so never beside a scan
    QPointer<TRecoverThread> RecoverWorker;
    QPointer<TImageThread> ImageWorker;  // a copy runs as the scan job too
    verandol::SortDirection SortOrder;
    verandol::ProgressBarText* PBText = nullptr;
    // The running or last recovery: rows ticked at its start, and from its
    // summary those recovered in full and the folder they went to.
    int RecoveryTicked = 0;
    int RecoveredFiles = 0;
    QString RecoveredFolder;
    verandol::PreviewReader* PreviewWorker = nullptr;
};
