// The one window: the deleted-files list above, the fixed panel below.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "scan/deleted_file_row.h"
#include "scan/scan_volume.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

class TScanThread;
class TRecoverThread;

namespace verandol {
class DeletedFilesModel;
class TDirectoryListBox;
class TDriveComboBox;
class WindowLink;
struct ListRow;
}  // namespace verandol

// Shared with the workers without a lock: each is written by one side and
// polled by the other. Static storage, so a worker that outlives its window
// still reads valid flags.
extern std::atomic<bool> Scanning;
extern std::atomic<bool> StopScan;
extern std::atomic<bool> Recovering;
extern std::atomic<bool> StopRecover;
// Set when the window closes: the recovery worker then abandons even the file
// in hand at its next streamed piece, where a stop request lets it finish.
extern std::atomic<bool> AbandonRecovery;

// What the recovery worker reads of one row, on the window's thread, when it
// reaches that row.
struct RecoveryRowView {
    bool ticked = false;
    std::string caption;
    std::string name;
    bool own_name = true;  // rb1
    std::string folder;    // DLB's directory
};

class TMainForm : public QWidget {
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

    // Window thread, while the scan worker waits.
    void AddDeletedFileRow(std::vector<verandol::DeletedFileRow> rows);
    RecoveryRowView ReadRecoveryRow(int index) const;
    int RowCount() const;

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
    void StartScan(const QString& drive_name, const QString& path);
    void StartRecovery(int ticked);
    void StopWorkers();
    template <class Handler> void Guarded(Handler handler);

    // Slots for the workers' queued signals.
    void ShowDiskLabels(const QString& name, const QString& serial);
    void WalkStarting(int progress_max);
    void ScanEnded(bool restore_buttons);
    void RecoveryStarting(int ticked);
    void RecoveryEnded(const QString& report);

    verandol::DeletedFilesModel* Model;
    verandol::PublishedGeometry ScanGeometry;
    std::shared_ptr<verandol::WindowLink> Link;
    QPointer<TScanThread> ScanWorker;
    QPointer<TRecoverThread> RecoverWorker;
};
