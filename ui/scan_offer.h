// The offer made for a drive list entry the scan cannot read as an NTFS
// volume: a search for lost volumes on it, or a deep scan of it, each with
// the time it will take.
#pragma once

#include <functional>

#include <QDialog>
#include <QString>

class QCommandLinkButton;
class QLabel;
class QPushButton;

namespace verandol {

enum class OfferChoice { Cancel, Search, DeepScan };

struct ScanOffer {
    QString entry;        // the drive list's text
    QString why;          // why the scan alone will not do, a sentence; may be empty
    bool search_possible = true;  // only a whole disk or image is searched
    QString search_time;  // "12 s", "4 min"
    QString deep_time;
    QString time_basis;   // how the times were had, a sentence
};

// The offer for the entry `entry` at `path`, `size` bytes long: both passes
// read the whole of it once, so both take the time a read of it takes at
// the rate a short sample read of it reached (a stated rate when the sample
// cannot be had, or is not to be tried: `measure` is false for a device
// only the system's service may open, which would ask for a password just
// to time it). Only a plain disk or image path can be searched.
ScanOffer MakeScanOffer(const QString& entry, const QString& why, const QString& path, qint64 size, bool measure);

// While set, offers are handed to `interceptor` instead of being shown.
// Returns the interceptor it replaces.
using OfferInterceptor = std::function<OfferChoice(const ScanOffer&)>;
OfferInterceptor SetOfferInterceptor(OfferInterceptor interceptor);

// Shows the offer as a modal dialog over `parent` and says what was chosen.
OfferChoice AskScanOffer(QWidget* parent, const ScanOffer& offer);

class ScanOfferDialog : public QDialog {
    Q_OBJECT
public:
    ScanOfferDialog(QWidget* parent, const ScanOffer& offer);
    OfferChoice Choice() const { return choice_; }

    QLabel* Lead;
    QCommandLinkButton* SearchButton;
    QCommandLinkButton* DeepScanButton;
    QLabel* TimeBasis;
    QPushButton* CancelButton;

private:
    OfferChoice choice_ = OfferChoice::Cancel;
};

}  // namespace verandol
