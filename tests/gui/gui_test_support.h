// What the window tests share: the fixture volume, its manifest, and waits
// for the workers.
#pragma once

#include <string>
#include <vector>

#include <QApplication>
#include <QString>
#include <QTest>

#include "tests/fixture_support.h"
#include "ui/message_box.h"

class TMainForm;

namespace verandol::test {

using testing::ManifestFile;

inline const char* const kFixtureName = "sec512-clu4k.img";

QString FixtureImagePath();
// The manifest of the fixture above.
testing::Manifest LoadManifest();
QString Sha256OfFile(const QString& path);

// Boxes shown while one of these lives are kept here instead.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    std::vector<ShownMessage> shown;

private:
    MessageInterceptor previous_;
};

// Any box no MessageCapture expects, and any offer of a search or deep scan
// or question no test answers, fails the running test at once, instead of waiting on a
// modal box nobody will close.
void FailOnUnexpectedMessages();

// Until the form's worker has ended and the window has applied all it sent.
bool WaitForScan(const TMainForm& form, int timeout_ms = 20000);
bool WaitForRecovery(const TMainForm& form, int timeout_ms = 20000);

// Selects the fixture image in DriveList and scans it to the end.
bool ScanFixture(TMainForm& form);
// The same for the image listed as `name`.
bool ScanListedImage(TMainForm& form, const QString& name);
// Copies the fixture `fixture` into `folder` as `name` and makes the folder
// the working directory, where discovery looks for volume images.
bool StageImage(const QString& folder, const std::string& fixture, const QString& name);

}  // namespace verandol::test

// Every window suite's main: QTEST_MAIN, with unexpected boxes failing.
#define VERANDOL_GUI_TEST_MAIN(Suite)                      \
    int main(int argc, char** argv) {                      \
        QApplication app(argc, argv);                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);           \
        verandol::test::FailOnUnexpectedMessages();        \
        Suite suite;                                       \
        QTEST_SET_MAIN_SOURCE_PATH                         \
        return QTest::qExec(&suite, argc, argv);           \
    }
