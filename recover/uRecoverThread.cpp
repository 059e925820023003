#include "recover/uRecoverThread.h"

#include <exception>
#include <string>

#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "recover/recovery_step.h"
#include "text/type_groups.h"

TRecoverThread::TRecoverThread(verandol::PublishedGeometry geometry, int ticked, std::vector<verandol::RowId> order,
                               const verandol::RecoveryRowSource* rows, std::shared_ptr<verandol::WindowLink> link,
                               std::shared_ptr<verandol::JobControl> job)
    : geometry_(std::move(geometry)),
      ticked_(ticked),
      order_(std::move(order)),
      rows_(rows),
      link_(std::move(link)),
      job_(std::move(job)) {}

void TRecoverThread::Execute() {
    emit starting(ticked_);

    // Only a close cuts a file short; a stop request waits for the row in hand.
    // The window checked the folder at the press, but a new one may be
    // chosen while the recovery runs: the run checks each as it first comes.
    verandol::RecoveryRun run(geometry_, &job_->AbandonFlag(), true);
    std::string last_folder;
    int position = 0;
    for (std::size_t number = 0; number < order_.size() && !job_->StopRequested(); ++number) {
        // Read afresh per row: ticks, folder and naming may change while the
        // worker is busy with earlier rows.
        verandol::RecoveryRowView row;
        try {
            if (!verandol::CallOnWindowThread(link_, [&] { row = rows_->ReadRecoveryRow(order_[number]); })) break;
        } catch (const std::exception&) {
            // The window could not hand over the row (out of memory): the
            // rows after it would fare no better, and nothing may escape here.
            break;
        }
        if (!row.ticked) continue;

        last_folder = row.folder;
        const verandol::OutputNaming naming = row.keep_folders ? verandol::OutputNaming::KeptFolders
                                              : row.own_name   ? verandol::OutputNaming::OwnName
                                                               : verandol::OutputNaming::RowIndex;
        // A carved file with no folder of its own goes with its kind ("Photos").
        const std::string type_folder = row.carved && row.row_folder.empty()
                                            ? verandol::TypeGroupName(verandol::TypeGroupOf(row.type))
                                            : std::string();
        run.KeepFileTimes(row.keep_times);
        const verandol::RecoveryStepResult result =
            run.Recover({row.caption, row.name, row.row_folder, static_cast<int>(number),
                         row.found_deep ? &row.found : nullptr, row.carved ? &row.carved_extent : nullptr, row.type,
                         type_folder},
                        row.folder, naming);
        // A file abandoned as the window closes is not a failure to report.
        if (result.stopped) break;
        emit progress(++position);
    }

    const int failed = static_cast<int>(run.Failures().size());
    emit summary(run.Recovered(), run.Incomplete(), run.Unchecked(), failed - run.Incomplete() - run.Unchecked(),
                 QString::fromStdString(last_folder), run.UnreadFiles(), static_cast<qint64>(run.UnreadBytes()));
    const QString report = QString::fromStdString(verandol::RecoveryReport(ticked_, run.Recovered(), run.Failures()));
    verandol::EndJob(link_, *job_, [&] { emit ended(report); });
}
