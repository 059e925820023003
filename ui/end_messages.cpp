#include "ui/end_messages.h"

namespace verandol {

namespace {

QString Files(int count) {
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

}  // namespace

QString ScanEndMessage(bool stopped, int listed, int deleted, bool deep) {
    if (stopped)
        return listed == 0 ? QStringLiteral("The scan was stopped before it found any file.")
                           : QStringLiteral("The scan was stopped. The %1 found so far %2 listed.")
                                 .arg(Files(listed), listed == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    if (deleted > 0) return {};
    if (deep)
        return QStringLiteral("The deep scan found no deleted files. Carve Free Space, which finds files by their "
                              "content, may still find some.");
    return QStringLiteral("The scan found no deleted files. A deep scan, a search for lost volumes, or Carve Free "
                          "Space, which finds files by their content, may still find some.");
}

QString RecoveryEndMessage(bool stopped, int ticked, int recovered, const QString& folder, const QString& report) {
    const QString lead = stopped ? QStringLiteral("The recovery was stopped. ") : QString();
    if (!report.isEmpty()) return lead + report;
    const QString where = recovered == 0 || folder.isEmpty() ? QString() : QStringLiteral(" into %1").arg(folder);
    if (stopped)
        return lead + QStringLiteral("%1 of %2 ticked %3 recovered%4.")
                          .arg(recovered)
                          .arg(ticked)
                          .arg(ticked == 1 ? QStringLiteral("file was") : QStringLiteral("files were"), where);
    if (recovered == 0) return QStringLiteral("No file was recovered: no row was ticked any more.");
    return recovered == 1 ? QStringLiteral("The ticked file was recovered%1.").arg(where)
                          : QStringLiteral("All %1 ticked files were recovered%2.").arg(recovered).arg(where);
}

QString HiddenTickedQuestion(int ticked, int hidden) {
    return QStringLiteral("%1 of the %2 ticked files %3 hidden by the filter. Recover them too, or only the ticked "
                          "files shown?")
        .arg(hidden)
        .arg(ticked)
        .arg(hidden == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

}  // namespace verandol
