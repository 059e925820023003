#include "recover/uRecoverThread.h"

#include <vector>

#include "recover/output_name.h"
#include "recover/recover_file.h"
#include "ui/recovery_report.h"
#include "ui/uMain.h"
#include "ui/window_link.h"

TRecoverThread::TRecoverThread(verandol::PublishedGeometry geometry, int ticked, TMainForm* form,
                               std::shared_ptr<verandol::WindowLink> link)
    : geometry_(std::move(geometry)), ticked_(ticked), form_(form), link_(std::move(link)) {}

void TRecoverThread::Execute() {
    Recovering = true;
    emit starting(ticked_);

    int rows = 0;
    verandol::CallOnWindowThread(link_, [&] { rows = form_->RowCount(); });
    int position = 0;
    int recovered = 0;
    std::vector<verandol::RecoveryFailure> failures;
    for (int index = 0; index < rows && !StopRecover; ++index) {
        // Read afresh per row: ticks, sort order, folder and naming may
        // change while the worker is busy with earlier rows.
        RecoveryRowView row;
        if (!verandol::CallOnWindowThread(link_, [&] { row = form_->ReadRecoveryRow(index); })) break;
        if (!row.ticked) continue;

        const std::string output = verandol::OutputPath(row.folder, row.own_name, row.name, index);
        verandol::RecoverResult result;
        try {
            result = verandol::RecoverFile(geometry_.path, row.caption, geometry_.geometry, geometry_.mft_runs, output,
                                           &AbandonRecovery);
        } catch (const std::exception& error) {
            result = {verandol::RecoverStatus::NotWritten, error.what()};
        }
        // A file abandoned as the window closes is not a failure to report.
        if (AbandonRecovery && result.status == verandol::RecoverStatus::NotWritten) break;
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
    Recovering = false;
}
