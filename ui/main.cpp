#include <clocale>

#include <QApplication>

#include "text/display_settings.h"
#include "udisks/udisks_access.h"
#include "ui/uMain.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Verandol"));
    QApplication::setApplicationDisplayName(QStringLiteral("Verandol"));
    // nl_langinfo is not thread-safe: the date settings are read once, here.
    std::setlocale(LC_TIME, "");
    verandol::SetCurrentDisplaySettings(verandol::SettingsFromPosixLocale());
    // The window runs as the user: a device the user may not read is
    // opened by UDisks2 once the system agrees.
    verandol::ReadDevicesThroughUdisks();

    TMainForm MainForm;
    MainForm.show();
    return application.exec();
}
