#include "recover/uRecoverThread.h"

#include <optional>
#include <string>
#include <vector>

#include "jobs/job_control.h"
#include "jobs/window_link.h"
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
    std::vector<verandol::RecoveryFailure> failures;
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
        try {
            if (folder_refusal.empty())
                result = verandol::RecoverFile(geometry_.path, row.caption, geometry_.geometry, geometry_.mft_runs,
                                               verandol::OutputPath(row.folder, row.own_name, row.name, index),
                                               &job_->AbandonFlag());
        } catch (const std::exception& error) {
            result = {verandol::RecoverStatus::NotWritten, error.what()};
        }
        // A file abandoned as the window closes is not a failure to report.
        if (job_->Abandoned() && result.status == verandol::RecoverStatus::NotWritten) break;
        switch (result.status) {
            case verandol::RecoverStatus::Written: ++recovered; break;
            case verandol::RecoverStatus::Incomplete:
                failures.push_back({row.name, row.caption, true, result.reason});
                break;
            case verandol::RecoverStatus::NotWritten:
                failures.push_back({row.name, row.caption, false, result.reason});
                break;
        }
        emit progress(++position);
    }

    emit ended(QString::fromStdString(verandol::RecoveryReport(ticked_, recovered, failures)));
    job_->Finished();
}
