// The two worker threads without a window: a scan into a plain list, and a
// recovery from a plain row source, over the fixture volume.
#include <map>
#include <memory>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "jobs/job_control.h"
#include "jobs/window_link.h"
#include "recover/uRecoverThread.h"
#include "scan/uScanThread.h"
#include "tests/fixture_support.h"

using namespace verandol;

namespace {

const char* const kFixture = "sec512-clu4k";

struct CollectedList : DeletedFileList {
    std::vector<DeletedFileRow> rows;
    void AddDeletedFileRow(std::vector<DeletedFileRow> batch) override {
        for (DeletedFileRow& row : batch) rows.push_back(std::move(row));
    }
};

// Every row ticked and named after its file.
struct FakeRowSource : RecoveryRowSource {
    std::vector<DeletedFileRow> rows;
    std::string folder;
    int RowCount() const override { return static_cast<int>(rows.size()); }
    RecoveryRowView ReadRecoveryRow(int index) const override {
        const DeletedFileRow& row = rows[static_cast<std::size_t>(index)];
        return {true, row.position_text, row.name, true, folder, false, {}};
    }
};

bool WaitForEnd(const JobControl& job) {
    if (!QTest::qWaitFor([&] { return !job.Running(); }, 20000)) return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

}  // namespace

class WorkersTest : public QObject {
    Q_OBJECT
private slots:
    void scanThenRecoverWithoutAWindow();

private:
    std::vector<DeletedFileRow> Scan(PublishedGeometry* published);
    QObject window_;  // the thread the link calls onto
    std::shared_ptr<WindowLink> link_ = WindowLink::Create(&window_);
};

std::vector<DeletedFileRow> WorkersTest::Scan(PublishedGeometry* published) {
    CollectedList list;
    auto job = std::make_shared<JobControl>();
    TScanThread scan(kFixture, testing::FixtureImagePath(kFixture), &list, link_, job);
    connect(&scan, &TScanThread::geometryPublished, this,
            [published](const PublishedGeometry& geometry) { *published = geometry; });
    QSignalSpy ended(&scan, &TScanThread::ended);
    scan.start();
    if (!WaitForEnd(*job) || !scan.wait(5000)) return {};
    QCoreApplication::sendPostedEvents();
    if (ended.size() != 1 || !ended[0][0].toBool() || !ended[0][1].toString().isEmpty()) return {};
    return list.rows;
}

void WorkersTest::scanThenRecoverWithoutAWindow() {
    const testing::Manifest manifest = testing::LoadManifest(kFixture);
    PublishedGeometry published;
    FakeRowSource source;
    source.rows = Scan(&published);
    QCOMPARE(source.rows.size(), manifest.Deleted().size());
    QCOMPARE(published.path, testing::FixtureImagePath(kFixture));

    testing::TempDir out;
    source.folder = out.path();
    auto job = std::make_shared<JobControl>();
    TRecoverThread recovery(published, source.RowCount(), &source, link_, job);
    QSignalSpy progress(&recovery, &TRecoverThread::progress);
    QSignalSpy ended(&recovery, &TRecoverThread::ended);
    recovery.start();
    QVERIFY(WaitForEnd(*job));
    QVERIFY(recovery.wait(5000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ended.size(), 1);
    QVERIFY2(ended[0][0].toString().isEmpty(), qPrintable(ended[0][0].toString()));
    QCOMPARE(progress.size(), source.RowCount());
    QCOMPARE(progress.last()[0].toInt(), source.RowCount());
    for (const testing::ManifestFile& file : manifest.Deleted())
        QCOMPARE(testing::Sha256Hex(testing::ReadWholeFile(out.path() + "/" + file.name)), file.sha256);
}

QTEST_GUILESS_MAIN(WorkersTest)
#include "tst_workers.moc"
