// The window's side of the benchmark, offscreen:
//
//   verandol-bench-window IMAGE EXPECTED_ROWS RUNS
//
// Opens TMainForm in a scratch folder holding IMAGE (as bench.img, so drive
// discovery lists it), selects it and presses "Scan Now" RUNS + 1 times (the
// first warms up), each time timing from the press until the scan has ended
// with every row in the list. Then sorts the full list by "File Name" and by
// "File Size" RUNS times each, beside a plain std::stable_sort of the same
// column in the same starting order with the same comparison: the names'
// texts, the sizes' values.
//
// Prints key=value lines: every run's seconds and the peak resident size.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "text/display_settings.h"
#include "ui/deleted_files_model.h"
#include "ui/list_text_compare.h"
#include "ui/message_box.h"
#include "ui/uMain.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "verandol-bench-window: %s\n", why.c_str());
    std::exit(1);
}

// "VmHWM:   123456 kB" and the like, in KiB.
long StatusKib(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
    return -1;
}

// Spins the event loop until `done` holds, checking every millisecond; the
// loop sleeps in between, so the scan worker keeps its core.
bool WaitFor(const std::function<bool()>& done, int timeout_s) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeout_s * 1000, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

void PrintRuns(const char* key, const std::vector<double>& runs) {
    std::printf("%s=", key);
    for (std::size_t i = 0; i < runs.size(); ++i) std::printf("%s%.6f", i ? "," : "", runs[i]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) Die("usage: verandol-bench-window IMAGE EXPECTED_ROWS RUNS");
    const QString image = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int expected = std::atoi(argv[2]);
    const int runs = std::atoi(argv[3]);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));

    QApplication application(argc, argv);
    std::setlocale(LC_TIME, "");
    verandol::SetCurrentDisplaySettings(verandol::SettingsFromPosixLocale());
    // A box would block the run; any box shown means the run is void.
    verandol::SetMessageInterceptor([](const verandol::ShownMessage& message) {
        Die("the window showed a message: " + message.text.toStdString());
    });

    QTemporaryDir scratch;
    if (!scratch.isValid()) Die("no scratch folder");
    if (!QFile::link(image, scratch.filePath(QStringLiteral("bench.img")))) Die("cannot link the image");
    QDir::setCurrent(scratch.path());

    TMainForm form;
    form.show();
    const auto items = form.DriveList->findItems(QStringLiteral("bench.img"), Qt::MatchExactly);
    if (items.size() != 1) Die("bench.img is not in the drive list");
    items.first()->setSelected(true);

    std::vector<double> scans;
    for (int run = 0; run <= runs; ++run) {
        const auto start = Clock::now();
        form.btnScan->click();
        const bool ended = WaitFor(
            [&] {
                return !form.Scanning() && form.btnScan->text() == QStringLiteral("Scan Now") &&
                       form.Rows()->Count() == expected;
            },
            900);
        const double took = Since(start);
        if (!ended)
            Die("scan did not end with " + std::to_string(expected) + " rows (has " +
                std::to_string(form.Rows()->Count()) + ")");
        if (run > 0) scans.push_back(took);
    }
    // The peak so far covers the scans and the full list, before any sort.
    const long scan_hwm = StatusKib("VmHWM:");
    const long scan_rss = StatusKib("VmRSS:");

    const verandol::DeletedFilesModel& rows = *form.Rows();
    // The names sort as text, the sizes by their values; each beside a plain
    // stable sort of the same column in the same starting order.
    auto sort_column = [&](verandol::ListColumn which, std::vector<double>& window, std::vector<double>& plain) {
        const auto column = static_cast<int>(which);
        const auto cell = static_cast<std::size_t>(column);
        const bool by_size = which == verandol::ListColumn::FileSize;
        std::vector<std::string> texts;
        std::vector<std::int64_t> sizes;
        texts.reserve(static_cast<std::size_t>(rows.Count()));
        sizes.reserve(static_cast<std::size_t>(rows.Count()));
        for (int i = 0; i < rows.Count(); ++i) {
            if (by_size) sizes.push_back(rows.Row(i).size);
            else texts.push_back(rows.Row(i).cells[cell]);
        }

        auto start = Clock::now();
        if (by_size)
            std::stable_sort(sizes.begin(), sizes.end());
        else
            std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
                return verandol::CompareListTexts(a, b) < 0;
            });
        plain.push_back(Since(start));

        start = Clock::now();
        form.ListView1ColumnClick(column);
        window.push_back(Since(start));

        // Stable sorts of the same input agree element for element.
        for (int i = 0; i < rows.Count(); ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (by_size ? rows.Row(i).size != sizes[at] : rows.Row(i).cells[cell] != texts[at])
                Die("the window's order differs from the plain sort at row " + std::to_string(i));
        }
    };
    std::vector<double> name_window, name_plain, size_window, size_plain;
    for (int run = 0; run < runs; ++run) {
        sort_column(verandol::ListColumn::FileName, name_window, name_plain);
        sort_column(verandol::ListColumn::FileSize, size_window, size_plain);
    }

    std::printf("rows=%d\n", rows.Count());
    PrintRuns("window_scan", scans);
    PrintRuns("sort_name_window", name_window);
    PrintRuns("sort_name_plain", name_plain);
    PrintRuns("sort_size_window", size_window);
    PrintRuns("sort_size_plain", size_plain);
    std::printf("window_hwm_kib=%ld\nwindow_rss_kib=%ld\n", scan_hwm, scan_rss);
    std::fflush(stdout);
    return 0;
}
