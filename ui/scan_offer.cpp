#include "ui/scan_offer.h"

#include <chrono>
#include <exception>
#include <future>
#include <system_error>
#include <thread>
#include <utility>

#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "disk/read_rate.h"
#include "disk/volume_address.h"
#include "disk/volume_discovery.h"
#include "text/time_left.h"

namespace verandol {

namespace {

// The sample: well under a second, and enough to get past the device's
// first slow seek.
constexpr std::chrono::milliseconds kSampleTime{300};
constexpr std::int64_t kSampleBytes = 32 << 20;
// How long the window waits for the sample: its time, and the open and the
// first read on top.
constexpr std::chrono::milliseconds kSampleWait{500};
// When the sample cannot be had: what a hard disk or USB stick reads at.
constexpr std::int64_t kStatedRate = 100'000'000;

OfferInterceptor& Interceptor() {
    static OfferInterceptor interceptor;
    return interceptor;
}

// The sample is read on a thread of its own and waited for no longer than
// kSampleWait: the budget is only looked at between reads, and one read of
// a disk that must first spin up, or of a failing one, can take seconds,
// which the window would spend frozen. A sample that comes too late is let
// go; its thread ends when its read does. 0 when there is none.
std::int64_t SampleRate(const std::string& path) {
    std::promise<std::int64_t> sample;
    std::future<std::int64_t> rate = sample.get_future();
    try {
        std::thread([sample = std::move(sample), path]() mutable {
            try {
                sample.set_value(MeasureReadRate(path, kSampleTime, kSampleBytes));
            } catch (...) {
                sample.set_exception(std::current_exception());  // thrown where it is waited for
            }
        }).detach();
    } catch (const std::system_error&) {
        return 0;  // no thread to be had: the stated rate will do
    }
    return rate.wait_for(kSampleWait) == std::future_status::ready ? rate.get() : 0;
}

}  // namespace

OfferInterceptor SetOfferInterceptor(OfferInterceptor interceptor) {
    return std::exchange(Interceptor(), std::move(interceptor));
}

ScanOffer MakeScanOffer(const QString& entry, const QString& why, const QString& path, qint64 size, bool measure) {
    ScanOffer offer;
    offer.entry = entry;
    offer.why = why;
    const VolumeAddress address = ParseVolumeAddress(path.toStdString());
    offer.search_possible = address.partition == 0 && address.offset < 0;
    std::int64_t rate = measure ? SampleRate(path.toStdString()) : 0;
    if (rate > 0) {
        offer.time_basis = QStringLiteral("Times from a short read of it, at %1/s.")
                               .arg(QString::fromStdString(SizeText(rate)));
    } else {
        rate = kStatedRate;
        offer.time_basis = QStringLiteral("Times at %1/s, a common speed; its own was not measured.")
                               .arg(QString::fromStdString(SizeText(rate)));
    }
    const QString time = QString::fromStdString(DurationText(PassDuration(size, rate)));
    offer.search_time = time;
    offer.deep_time = time;
    return offer;
}

ScanOfferDialog::ScanOfferDialog(QWidget* parent, const ScanOffer& offer) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Verandol"));
    auto* layout = new QVBoxLayout(this);

    QString lead = QStringLiteral("<b>%1</b>").arg(offer.entry.toHtmlEscaped());
    if (!offer.why.isEmpty()) lead += QStringLiteral("<br>") + offer.why.toHtmlEscaped();
    Lead = new QLabel(lead, this);
    Lead->setWordWrap(true);
    layout->addWidget(Lead);

    SearchButton = new QCommandLinkButton(QStringLiteral("Search for lost volumes"), this);
    SearchButton->setDescription(
        offer.search_possible
            ? QStringLiteral("Reads the whole disk for NTFS volumes that no partition table names, and lists "
                             "each one found as a new entry. About %1.")
                  .arg(offer.search_time)
            : QStringLiteral("Only a whole disk or disk image can be searched; choose it in the list."));
    SearchButton->setEnabled(offer.search_possible);
    layout->addWidget(SearchButton);

    DeepScanButton = new QCommandLinkButton(QStringLiteral("Deep scan"), this);
    DeepScanButton->setDescription(
        QStringLiteral("Reads every sector for file records, so files of a volume that was formatted over are "
                       "found too. About %1.")
            .arg(offer.deep_time));
    layout->addWidget(DeepScanButton);

    TimeBasis = new QLabel(offer.time_basis, this);
    TimeBasis->setWordWrap(true);
    QPalette muted = TimeBasis->palette();
    muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
    TimeBasis->setPalette(muted);
    layout->addWidget(TimeBasis);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    CancelButton = buttons->button(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);

    connect(SearchButton, &QPushButton::clicked, this, [this] {
        choice_ = OfferChoice::Search;
        accept();
    });
    connect(DeepScanButton, &QPushButton::clicked, this, [this] {
        choice_ = OfferChoice::DeepScan;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(420);
}

OfferChoice AskScanOffer(QWidget* parent, const ScanOffer& offer) {
    if (Interceptor()) return Interceptor()(offer);
    ScanOfferDialog dialog(parent, offer);
    dialog.exec();
    return dialog.Choice();
}

}  // namespace verandol
