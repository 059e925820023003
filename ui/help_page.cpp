#include "ui/help_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "ui/message_box.h"

namespace verandol {

QString HelpPagePath(const QString& program_dir) {
    // Relative, so an installation moved to another prefix, or unpacked into
    // a staging folder, still finds its own page.
    const QString installed = QDir::cleanPath(QDir(program_dir).filePath(QStringLiteral(VERANDOL_HELP_FROM_PROGRAM)));
    if (QFileInfo::exists(installed)) return installed;
    return QStringLiteral(VERANDOL_HELP_IN_SOURCE);
}

void OpenHelpPage() {
    const QString page = HelpPagePath(QCoreApplication::applicationDirPath());
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(page))) return;
    ShowMessage(QStringLiteral("No program was found to open the help page. It is here:\n") + page);
}

}  // namespace verandol
