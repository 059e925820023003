#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "text/display_settings.h"
#include "udisks/udisks_access.h"
#include "ui/uMain.h"
#include "ui/window_arguments.h"

namespace {

// Help and version are answered before any window or display connection
// exists, so they work from a terminal with no desktop at all.
int AnswerWithoutWindow(const verandol::WindowArguments& parsed) {
    if (parsed.action == verandol::WindowArguments::Action::Help) {
        std::fputs(verandol::WindowUsageText(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (parsed.action == verandol::WindowArguments::Action::Version) {
        std::fputs("verandol " VERANDOL_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "verandol: %s (try verandol --help)\n", parsed.mistake.c_str());
    return 2;
}

bool AnsweredWithoutWindow(const verandol::WindowArguments& parsed) {
    return parsed.action != verandol::WindowArguments::Action::Window;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Asked first, before Qt takes its own options out of argv.
    const verandol::WindowArguments early = verandol::ParseWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (early.action == verandol::WindowArguments::Action::Help ||
        early.action == verandol::WindowArguments::Action::Version)
        return AnswerWithoutWindow(early);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Verandol"));
    QApplication::setApplicationDisplayName(QStringLiteral("Verandol"));
    // What is left once Qt has taken its options ("-platform", "-style", ...).
    const verandol::WindowArguments parsed =
        verandol::ParseWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (AnsweredWithoutWindow(parsed)) return AnswerWithoutWindow(parsed);
    // nl_langinfo is not thread-safe: the date settings are read once, here.
    std::setlocale(LC_TIME, "");
    verandol::SetCurrentDisplaySettings(verandol::SettingsFromPosixLocale());
    // The window runs as the user: a device the user may not read is
    // opened by UDisks2 once the system agrees.
    verandol::ReadDevicesThroughUdisks();

    TMainForm MainForm;
    MainForm.show();
    // Scanned once the window shows, so any box it puts up has its parent.
    if (!parsed.source.empty())
        QTimer::singleShot(0, &MainForm,
                           [&MainForm, &parsed] { MainForm.ScanSourceArgument(QString::fromStdString(parsed.source)); });
    return application.exec();
}
