// Renders the window into a PNG:
//   verandol_screenshot <output.png>          after a scan of the first entry, a text file previewed
//   verandol_screenshot <output.png> offer    the offer for the first entry, over the window
//   verandol_screenshot <output.png> deep     after a deep scan of the first entry
//   verandol_screenshot <output.png> search   after a search of the first entry for lost volumes
//   verandol_screenshot <output.png> carve    after a scan and carve of the first entry
// Run it in a folder that holds the sample image, so discovery lists it.
#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>
#include <QTest>

#include "gui_test_support.h"
#include "ui/deleted_files_model.h"
#include "ui/preview/preview_pane.h"
#include "ui/scan_offer.h"
#include "ui/carve_controls.h"
#include "ui/uMain.h"

namespace {

// The offer as a person sees it: the dialog centred over the window.
QPixmap OfferOverWindow(TMainForm& form) {
    QPixmap shot;
    verandol::SetOfferInterceptor([&](const verandol::ScanOffer& offer) {
        verandol::ScanOfferDialog dialog(&form, offer);
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) return verandol::OfferChoice::Cancel;
        QTest::qWait(200);
        shot = form.grab();
        const QPixmap box = dialog.grab();
        QPainter painter(&shot);
        painter.drawPixmap((shot.width() - box.width()) / 2, (shot.height() - box.height()) / 3, box);
        return verandol::OfferChoice::Cancel;
    });
    form.actOtherScans->trigger();
    return shot;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) return 2;
    const QString mode = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    TMainForm form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form) || form.DriveList->count() == 0) return 1;
    form.DriveList->setCurrentItem(form.DriveList->item(0));
    QPixmap shot;
    if (mode == QStringLiteral("offer")) {
        shot = OfferOverWindow(form);
    } else {
        const bool other = mode == QStringLiteral("deep") || mode == QStringLiteral("search");
        const verandol::OfferChoice choice =
            mode == QStringLiteral("deep") ? verandol::OfferChoice::DeepScan : verandol::OfferChoice::Search;
        verandol::SetOfferInterceptor([choice](const verandol::ScanOffer&) { return choice; });
        if (other) form.actOtherScans->trigger();
        else if (mode == QStringLiteral("carve")) form.Carving->Button->click();
        else form.btnScan->click();
        if (!verandol::test::WaitForScan(form, 120000)) return 1;
        // The first text file found is shown in the preview pane.
        for (int row = 0; row < form.Rows()->Count(); ++row) {
            const verandol::ListRow& listed = form.Rows()->Row(row);
            if (listed.cells[static_cast<std::size_t>(verandol::ListColumn::FileType)] != ".txt" || listed.size == 0)
                continue;
            form.ListView1->setCurrentIndex(form.Rows()->index(row, 0));
            if (!QTest::qWaitFor([&] { return form.Preview->Note() != QStringLiteral("Reading..."); }, 5000)) return 1;
            break;
        }
        QTest::qWait(200);
        shot = form.grab();
    }
    return !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
