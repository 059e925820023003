// The look at a file before it is recovered, through the real window: an
// image opened from the bar is scanned, a photo row shows the photo's own
// pixels and its thumbnail, a text row its text, other data its bytes, and
// a row whose record is gone says so. The bar's deep scan and the output
// folder's dialog act as the panel's controls do.
#include <algorithm>
#include <cmath>
#include <memory>

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QPixmap>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "gui_test_support.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_entries.h"
#include "ui/output_folder_dialog.h"
#include "ui/preview/preview_pane.h"
#include "ui/preview/thumbnail_view.h"
#include "ui/uMain.h"

using namespace verandol::test;
using Kind = verandol::PreviewResult::Kind;

namespace {

// Opens the fixture `name` through "Open Image..." and waits for its scan.
bool OpenFixture(TMainForm& form, const std::string& name) {
    const QString path = QString::fromStdString(verandol::testing::FixtureImagePath(name));
    form.AskSourceImage = [path] { return path; };
    form.actOpenImage->trigger();
    if (!WaitForScan(form)) return false;
    const QListWidgetItem* current = form.DriveList->currentItem();
    return current && current->data(verandol::kPathRole).toString() == path;
}

int RowNamed(const TMainForm& form, const std::string& name) {
    for (int row = 0; row < form.Rows()->Count(); ++row)
        if (form.Rows()->Row(row).cells[static_cast<std::size_t>(verandol::ListColumn::FileName)] == name) return row;
    return -1;
}

// Selects the row named `name` and waits until the pane shows something other than "Reading...".
bool PreviewOf(TMainForm& form, const std::string& name) {
    const int row = RowNamed(form, name);
    if (row < 0) return false;
    form.ListView1->setCurrentIndex(form.Rows()->index(row, 0));
    return QTest::qWaitFor(
        [&] { return form.Preview->Note() != QStringLiteral("Reading...") && form.Preview->Title->text() != QStringLiteral("Preview"); },
        10000);
}

// The file's bytes as the driver wrote them, read along its runs in the
// fixture image: the original the preview is compared against.
QByteArray OriginalBytes(const std::string& fixture, const verandol::testing::Manifest& manifest,
                         const std::string& name) {
    const auto file = std::find_if(manifest.files.begin(), manifest.files.end(),
                                   [&](const auto& listed) { return listed.name == name; });
    if (file == manifest.files.end()) return {};
    QFile image(QString::fromStdString(verandol::testing::FixtureImagePath(fixture)));
    if (!image.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes;
    for (const auto& [lcn, clusters] : file->runs) {
        image.seek(lcn * manifest.cluster_size);
        bytes += image.read(clusters * manifest.cluster_size);
    }
    bytes.truncate(file->size);
    // Only the driver's own bytes: the manifest's hash says they are.
    if (QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString() != file->sha256) return {};
    return bytes;
}

// The mean difference of two pictures of one size, per channel.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * x.width() * x.height());
}

}  // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aPhotoRowShowsThePhotosPixelsAndItsThumbnail();
    void textRowsShowTheirTextOtherDataItsBytesAndALostRecordSaysSo();
    void theBarsDeepScanReadsTheSelectedImage();
    void theFolderDialogFillsTheOutput();
};

void PreviewWindowTest::aPhotoRowShowsThePhotosPixelsAndItsThumbnail() {
    const verandol::testing::Manifest manifest = verandol::testing::LoadManifest("faults");
    const QByteArray bytes = OriginalBytes("faults", manifest, "IMG_2041.JPG");
    QVERIFY(!bytes.isEmpty());
    const QImage original = QImage::fromData(bytes);
    QCOMPARE(original.size(), QSize(1100, 825));

    TMainForm form;
    form.show();
    QVERIFY(OpenFixture(form, "faults"));
    QCOMPARE(form.Rows()->DeletedCount(), static_cast<int>(manifest.Deleted().size()));
    QVERIFY(PreviewOf(form, "IMG_2041.JPG"));
    QCOMPARE(form.Preview->Kind(), Kind::Picture);
    QCOMPARE(form.Preview->PictureSize(), original.size());
    const QImage shown = form.Preview->Picture();
    QVERIFY(shown.width() >= 256 && shown.width() <= 1100);
    QCOMPARE(shown.height(), shown.width() * 825 / 1100);
    // The photo's own pixels, not merely a picture of its size.
    const double difference =
        MeanDifference(shown, original.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QVERIFY2(difference < 6.0, qPrintable(QString::number(difference)));

    // The thumbnails list the picture rows alone; the photo's is its own, small.
    form.actThumbnails->trigger();
    QCOMPARE(form.ListPages->currentWidget(), static_cast<QWidget*>(form.ThumbView));
    QVERIFY(form.Thumbs->rowCount() >= 5);
    QModelIndex thumb;
    for (int row = 0; row < form.Thumbs->rowCount(); ++row) {
        const QModelIndex index = form.Thumbs->index(row, static_cast<int>(verandol::ListColumn::FileName));
        QVERIFY(verandol::IsPictureType(
            form.Thumbs->index(row, static_cast<int>(verandol::ListColumn::FileType)).data().toString()));
        if (index.data().toString() == QStringLiteral("IMG_2041.JPG")) thumb = index;
    }
    QVERIFY(thumb.isValid());
    QVERIFY(QTest::qWaitFor([&] { return thumb.data(Qt::DecorationRole).value<QPixmap>().size() == QSize(96, 72); },
                            10000));
    const QImage small = thumb.data(Qt::DecorationRole).value<QPixmap>().toImage();
    QVERIFY(MeanDifference(small, original.scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) < 8.0);
    // A thumbnail chosen is previewed as a row of the list is.
    form.ThumbView->setCurrentIndex(thumb);
    QVERIFY(QTest::qWaitFor([&] { return form.Preview->Kind() == Kind::Picture; }, 10000));
    form.actListView->trigger();
    QCOMPARE(form.ListPages->currentWidget(), static_cast<QWidget*>(form.ListView1));
}

void PreviewWindowTest::textRowsShowTheirTextOtherDataItsBytesAndALostRecordSaysSo() {
    TMainForm form;
    form.show();
    QVERIFY(OpenFixture(form, "sec512-clu4k"));
    QVERIFY(PreviewOf(form, "shopping.txt"));
    QCOMPARE(form.Preview->Kind(), Kind::Text);
    QCOMPARE(form.Preview->Text(), QStringLiteral("Shopping: eggs, milk, tea.\n"));
    QVERIFY(PreviewOf(form, "café-résumé.txt"));
    QCOMPARE(form.Preview->Kind(), Kind::Text);
    QCOMPARE(form.Preview->Text(), QStringLiteral("Crème brûlée for the café.\n"));
    QVERIFY(form.Preview->Title->text().contains(QStringLiteral("UTF-8")));

    // Random bytes: shown in hexadecimal, the file's own.
    const QByteArray noise = OriginalBytes("sec512-clu4k", verandol::testing::LoadManifest("sec512-clu4k"), "archive-200k.zip");
    QVERIFY(noise.size() > 4096);
    QVERIFY(PreviewOf(form, "archive-200k.zip"));
    QCOMPARE(form.Preview->Kind(), Kind::Hex);
    const QString first_line = QStringLiteral("00000000  ") + QString::fromLatin1(noise.left(8).toHex(' ')) +
                               QStringLiteral("  ") + QString::fromLatin1(noise.mid(8, 8).toHex(' '));
    QVERIFY2(form.Preview->Text().startsWith(first_line), qPrintable(form.Preview->Text().left(80)));
    QCOMPARE(form.Preview->Text().count(QLatin1Char('\n')), 4096 / 16);

    // A record position edited to one that holds no file record.
    const int row = RowNamed(form, "README");
    QVERIFY(row >= 0);
    QVERIFY(form.Rows()->setData(form.Rows()->index(row, 0), QStringLiteral("0x200"), Qt::EditRole));
    QVERIFY(PreviewOf(form, "shopping.txt"));
    QVERIFY(PreviewOf(form, "README"));
    QCOMPARE(form.Preview->Kind(), Kind::Unreadable);
    QVERIFY2(form.Preview->Note().startsWith(QStringLiteral("Not recoverable")), qPrintable(form.Preview->Note()));
}

void PreviewWindowTest::theBarsDeepScanReadsTheSelectedImage() {
    TMainForm form;
    QVERIFY(OpenFixture(form, "sec512-clu4k"));
    const int walked = form.Rows()->DeletedCount();
    QVERIFY(walked > 0);
    QVERIFY(!form.actDeepScan->toolTip().isEmpty() && !form.actSearch->toolTip().isEmpty());
    form.actDeepScan->trigger();
    QVERIFY(WaitForScan(form));
    // The deep scan lists the files in use beside the deleted ones.
    QVERIFY(!form.ListView1->isColumnHidden(static_cast<int>(verandol::ListColumn::Deleted)));
    QVERIFY(form.Rows()->DeletedCount() >= walked);
    QVERIFY(form.Rows()->Row(0).found_deep);
}

void PreviewWindowTest::theFolderDialogFillsTheOutput() {
    QTemporaryDir folder;
    TMainForm form;
    QString started_at;
    form.AskOutputFolder = [&](const QString& start) {
        started_at = start;
        return folder.path();
    };
    const QString before = form.DLB->Directory();
    form.btnOutputFolder->click();
    QCOMPARE(started_at, before);
    QCOMPARE(form.DLB->Directory(), QDir::cleanPath(folder.path()));
    QCOMPARE(form.edPath->text(), QDir::cleanPath(folder.path()));
    // Cancelled: the output stays.
    form.AskOutputFolder = [](const QString&) { return QString(); };
    form.btnOutputFolder->click();
    QCOMPARE(form.edPath->text(), QDir::cleanPath(folder.path()));

    // The dialog itself makes a new folder where it stands.
    const std::unique_ptr<QFileDialog> dialog(verandol::MakeOutputFolderDialog(&form, folder.path()));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->show();
    auto* create = dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton"));
    QVERIFY(create && create->isVisible() && create->isEnabled());
    create->click();
    QVERIFY(QTest::qWaitFor([&] { return !QDir(folder.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(); }, 5000));
    dialog->reject();
}

VERANDOL_GUI_TEST_MAIN(PreviewWindowTest)
#include "tst_preview_window.moc"
