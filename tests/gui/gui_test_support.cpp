#include "gui_test_support.h"

#include <functional>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ui/question_box.h"
#include "ui/scan_offer.h"
#include "ui/uMain.h"

namespace verandol::test {

QString FixtureImagePath() { return QString::fromStdString(testing::FixtureImagePath("sec512-clu4k")); }

testing::Manifest LoadManifest() { return testing::LoadManifest("sec512-clu4k"); }

QString Sha256OfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

MessageCapture::MessageCapture()
    : previous_(SetMessageInterceptor([this](const ShownMessage& message) { shown.push_back(message); })) {}

MessageCapture::~MessageCapture() { SetMessageInterceptor(std::move(previous_)); }

void FailOnUnexpectedMessages() {
    SetMessageInterceptor([](const ShownMessage& message) {
        const QByteArray text = "unexpected message box: " + message.text.toUtf8();
        QTest::qFail(text.constData(), __FILE__, __LINE__);
    });
    // The offer of a search or deep scan is a modal dialog too.
    SetOfferInterceptor([](const ScanOffer& offer) {
        const QByteArray text = "unexpected offer: " + offer.entry.toUtf8() + " " + offer.why.toUtf8();
        QTest::qFail(text.constData(), __FILE__, __LINE__);
        return OfferChoice::Cancel;
    });
    SetQuestionInterceptor([](const AskedQuestion& question) {
        const QByteArray text = "unexpected question: " + question.text.toUtf8();
        QTest::qFail(text.constData(), __FILE__, __LINE__);
        return static_cast<int>(question.answers.size()) - 1;
    });
}

namespace {

bool WaitForEnd(const std::function<bool()>& running, int timeout_ms) {
    if (!QTest::qWaitFor([&] { return !running(); }, timeout_ms)) return false;
    // The job ends together with its last signal: apply what else is queued.
    QCoreApplication::sendPostedEvents();
    return true;
}

}  // namespace

bool WaitForScan(const TMainForm& form, int timeout_ms) {
    return WaitForEnd([&] { return form.Scanning(); }, timeout_ms);
}

bool WaitForRecovery(const TMainForm& form, int timeout_ms) {
    return WaitForEnd([&] { return form.Recovering(); }, timeout_ms);
}

bool ScanFixture(TMainForm& form) { return ScanListedImage(form, QString::fromLatin1(kFixtureName)); }

bool StageImage(const QString& folder, const std::string& fixture, const QString& name) {
    return QFile::copy(QString::fromStdString(testing::FixtureImagePath(fixture)), folder + "/" + name) &&
           QDir::setCurrent(folder);
}

bool ScanListedImage(TMainForm& form, const QString& name) {
    const auto items = form.DriveList->findItems(name, Qt::MatchExactly);
    if (items.size() != 1) return false;
    items.first()->setSelected(true);
    form.btnScan->click();
    return WaitForScan(form);
}

}  // namespace verandol::test
