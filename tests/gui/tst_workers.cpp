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
    int RowCount() const { return static_cast<int>(rows.size()); }
    std::vector<RowId> Order() const {
        std::vector<RowId> order(rows.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<RowId>(i);
        return order;
    }
    RecoveryRowView ReadRecoveryRow(RowId id) const override {
        const DeletedFileRow& row = rows[id];
        return {true, row.position_text, row.name, true, folder, false, {}, row.found_deep, row.found};
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
    void aCallThatThrowsFailsOnTheWorkersThread();

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
    bool running_at_end = true;
    connect(&scan, &TScanThread::ended, &window_, [&] { running_at_end = job->Running(); },
            Qt::DirectConnection);
    scan.start();
    if (!WaitForEnd(*job) || !scan.wait(5000)) return {};
    QCoreApplication::sendPostedEvents();
    if (ended.size() != 1 || !ended[0][0].toBool() || !ended[0][1].toString().isEmpty() || running_at_end) return {};
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
    TRecoverThread recovery(published, source.RowCount(), source.Order(), &source, link_, job);
    QSignalSpy progress(&recovery, &TRecoverThread::progress);
    QSignalSpy ended(&recovery, &TRecoverThread::ended);
    // By the time the window hears of the end the job is over, so a press
    // then starts a new recovery instead of stopping the old one.
    bool running_at_end = true;
    connect(&recovery, &TRecoverThread::ended, &window_, [&] { running_at_end = job->Running(); },
            Qt::DirectConnection);
    recovery.start();
    QVERIFY(WaitForEnd(*job));
    QVERIFY(recovery.wait(5000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(ended.size(), 1);
    QVERIFY(!running_at_end);
    QVERIFY2(ended[0][0].toString().isEmpty(), qPrintable(ended[0][0].toString()));
    QCOMPARE(progress.size(), source.RowCount());
    QCOMPARE(progress.last()[0].toInt(), source.RowCount());
    for (const testing::ManifestFile& file : manifest.Deleted())
        QCOMPARE(testing::Sha256Hex(testing::ReadWholeFile(out.path() + "/" + file.name)), file.sha256);
}

// Thrown into the event loop, the error would end the program and leave the
// worker waiting for a call that never finishes.
void WorkersTest::aCallThatThrowsFailsOnTheWorkersThread() {
    std::string caught;
    bool after = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            link_->Call([] { throw std::runtime_error("the window refused"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        after = link_->Call([] {});
    }));
    worker->start();
    QVERIFY(QTest::qWaitFor([&] { return worker->isFinished(); }, 5000));
    QCOMPARE(caught, std::string("the window refused"));
    QVERIFY(after);  // the link still serves the worker
}

QTEST_GUILESS_MAIN(WorkersTest)
#include "tst_workers.moc"
