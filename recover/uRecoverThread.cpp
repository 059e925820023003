#include "recover/uRecoverThread.h"

#include <optional>
#include <string>
#include <vector>

#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "recover/kept_folders.h"
#include "recover/output_device_check.h"
#include "recover/output_name.h"
#include "recover/recover_file.h"
#include "recover/recovery_report.h"

TRecoverThread::TRecoverThread(verandol::PublishedGeometry geometry, int ticked,
                               const verandol::RecoveryRowSource* rows, std::shared_ptr<verandol::WindowLink> link,
                               std::shared_ptr<verandol::JobControl> job)
    : geometry_(std::move(geometry)), ticked_(ticked), rows_(rows), link_(std::move(link)), job_(std::move(job)) {}

void TRecoverThread::Execute() {
    emit starting(ticked_);

    int rows = 0;
    verandol::CallOnWindowThread(link_, [&] { rows = rows_->RowCount(); });
    int position = 0;
    int recovered = 0;
    int incomplete = 0;
    std::vector<verandol::RecoveryFailure> failures;
    std::optional<verandol::KeptFolders> kept;
    std::string kept_root, last_folder;
    // The window checked the folder at the press, but a new one may be
    // chosen while the recovery runs: each folder is checked as it first comes.
    std::optional<std::string> checked_folder;
    std::string folder_refusal;
    for (int index = 0; index < rows && !job_->StopRequested(); ++index) {
        // Read afresh per row: ticks, sort order, folder and naming may
        // change while the worker is busy with earlier rows.
        verandol::RecoveryRowView row;
        if (!verandol::CallOnWindowThread(link_, [&] { row = rows_->ReadRecoveryRow(index); })) break;
        if (!row.ticked) continue;

        if (row.folder != checked_folder) {
            checked_folder = row.folder;
            folder_refusal = verandol::OutputDeviceRefusal(geometry_.path, row.folder);
        }
        verandol::RecoverResult result{verandol::RecoverStatus::NotWritten, folder_refusal};
        last_folder = row.folder;
        try {
            // The output folder may change between rows; the kept folders follow it.
            if (folder_refusal.empty()) {
                if (row.keep_folders && (!kept || kept_root != row.folder)) kept.emplace(kept_root = row.folder);
                const verandol::Outcome<std::string> output =
                    row.keep_folders ? kept->PathFor(row.row_folder, row.name, index, true)
                                     : verandol::OutputPath(row.folder, row.own_name, row.name, index);
                result = output ? verandol::RecoverFile(geometry_.path, row.caption, geometry_.geometry,
                                                        geometry_.mft_runs, *output, &job_->AbandonFlag(),
                                                        geometry_.bitmap ? &*geometry_.bitmap : nullptr,
                                                        geometry_.files_in_use)
                                : verandol::RecoverResult{verandol::RecoverStatus::NotWritten, output.reason()};
            }
        } catch (const std::exception& error) {
            result = {verandol::RecoverStatus::NotWritten, error.what()};
        }
        // A file abandoned as the window closes is not a failure to report.
        if (job_->Abandoned() && result.status == verandol::RecoverStatus::NotWritten) break;
        switch (result.status) {
            case verandol::RecoverStatus::Written: ++recovered; break;
            case verandol::RecoverStatus::Incomplete:
                ++incomplete;
                failures.push_back({row.name, row.caption, true, result.reason});
                break;
            case verandol::RecoverStatus::NotWritten:
                failures.push_back({row.name, row.caption, false, result.reason});
                break;
        }
        emit progress(++position);
    }

    emit summary(recovered, incomplete, static_cast<int>(failures.size()) - incomplete,
                 QString::fromStdString(last_folder));
    emit ended(QString::fromStdString(verandol::RecoveryReport(ticked_, recovered, failures)));
    job_->Finished();
}
