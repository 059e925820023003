// The window as the user first meets it, and the commands that need no volume.
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include "gui_test_support.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_combo_box.h"
#include "ui/help_page.h"
#include "ui/filter_bar.h"
#include "ui/carve_controls.h"
#include "ui/preview/preview_pane.h"
#include "ui/preview/thumbnail_view.h"
#include "ui/uMain.h"

class MainWindowTest : public QObject {
    Q_OBJECT
public slots:
    // The "file" URL handler while Button1 is tested.
    void openUrl(const QUrl& url) { opened_ = url; }

private slots:
    void startStateFollowsTheDesign();
    void onlyTheListGrowsWithTheWindow();
    void scanWithoutSelectedDriveAsksForOne();
    void recoverWithoutTickedRowAsksForOne();
    void checkAllTicksAndUnticksEveryRow();
    void folderListOpensFoldersAndGoesUp();
    void driveSelectorMovesTheFolderList();
    void websiteOpensTheShippedHelpPage();
    void websiteWithoutABrowserSaysWhereThePageIs();
    void installedProgramFindsItsInstalledHelpPage();

private:
    QUrl opened_;
};

void MainWindowTest::startStateFollowsTheDesign() {
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Verandol"));
    QCOMPARE(form.size(), QSize(880, 551));
    QVERIFY(!form.Scanning() && !form.StopScan() && !form.Recovering() && !form.StopRecover());

    QCOMPARE(form.Label1->text(), QStringLiteral("NTFS Drive List:"));
    QCOMPARE(form.btnScan->text(), QStringLiteral("Scan Now"));
    QCOMPARE(form.Drive_Title->text(), QStringLiteral("Disk Information"));
    QCOMPARE(form.DriveSize->text(), QStringLiteral("Disk Size: Unkown"));
    QCOMPARE(form.DriveMFTLocation->text(), QStringLiteral("MFT Location: Unkown"));
    QCOMPARE(form.DriveMFTSize->text(), QStringLiteral("MFT Size: Unkown"));
    QCOMPARE(form.DriveMFTRecordsCount->text(), QStringLiteral("All Files: 0"));
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: 0"));
    QCOMPARE(form.Label2->text(), QStringLiteral("Save Files to:"));
    QCOMPARE(form.RadioGroup1->title(), QStringLiteral("Save Options"));
    QVERIFY(form.rb1->isChecked() && !form.rb2->isChecked());
    QCOMPARE(form.rb2->text(), QStringLiteral("Save as File_Number"));
    QVERIFY(!form.CheckBox1->isChecked());
    QCOMPARE(form.Button1->text(), QStringLiteral("Website"));
    QCOMPARE(form.btnRecover->text(), QStringLiteral("Recover Now"));
    QVERIFY(form.btnScan->isEnabled() && form.btnRecover->isEnabled());

    QCOMPARE(form.Panel1->height(), TMainForm::kPanelHeight);
    QCOMPARE(form.btnScan->geometry(), QRect(16, 165, 121, 35));
    QCOMPARE(form.btnRecover->geometry(), QRect(536, 160, 313, 40));
    QCOMPARE(form.DLB->geometry(), QRect(432, 57, 226, 97));
    QCOMPARE(form.edPath->geometry(), QRect(519, 5, 330, 21));
    QVERIFY(form.DriveName->font().bold());
    QCOMPARE(form.btnRecover->font().pixelSize(), 13);
    QCOMPARE(form.Drive_Title->font().pixelSize(), 17);

    const QStringList headers{"Record Positon", "File Name", "File Type", "File Size", "Create Date",
                              "Last Modify Date"};
    const int widths[] = {100, 200, 100, 100, 160, 160};
    for (int column = 0; column < 6; ++column) {
        QCOMPARE(form.ListView1->model()->headerData(column, Qt::Horizontal).toString(), headers[column]);
        QCOMPARE(form.ListView1->columnWidth(column), widths[column]);
    }
    QCOMPARE(form.ListView1->palette().color(QPalette::Base), QColor(192, 220, 192));
    QCOMPARE(form.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!form.ListView1->isSortingEnabled());
    // The drawn pictures load: the SVG plugins and the resource are in place.
    QVERIFY(!form.Drive_Icon->pixmap().isNull());
    QVERIFY(!form.btnScan->icon().isNull());
    QVERIFY(!form.windowIcon().pixmap(48, 48).isNull());
    QVERIFY(form.edPath->isReadOnly());
    QCOMPARE(form.edPath->text(), form.DLB->Directory());
    QCOMPARE(form.DLB->Directory(), QDir::currentPath());
    QVERIFY(form.DriveList->selectedItems().isEmpty());
    // Tab visits the controls that take focus in the design's order, the list last.
    std::vector<QWidget*> tabbed;
    for (QWidget* w = form.btnScan->nextInFocusChain(); w != form.btnScan; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() != nullptr && !w->inherits("QScrollBar"))
            tabbed.push_back(w);
    // The third save option follows the designed two, the files-in-use
    // option the designed controls; the filter bar's fields come after the
    // list, and the drive list's image button after the list it acts on.
    // The carve button follows the files-in-use option beside it; the
    // carve offer over the list comes last.
    const std::vector<QWidget*> design{form.DriveList,   form.btnImage, form.DLB,    form.DCB,       form.rb1,
                                       form.rb2,         form.rbKeepFolders, form.btnRecover, form.edPath,
                                       form.CheckBox1,   form.Button1, form.cbFilesInUse, form.Carving->Button,
                                       form.cbKeepTimes, form.ListView1,   form.FilterBar1->Text,
                                       form.FilterBar1->MinimumSize, form.FilterBar1->RecoverableOnly,
                                       form.FilterBar1->Kind, form.Carving->OfferButton, form.Carving->OfferClose,
                                       // The output's folder dialog, the thumbnails and the preview's text.
                                       form.btnOutputFolder, form.ThumbView, form.Preview->TextPage};
    QCOMPARE(tabbed, design);
}

void MainWindowTest::onlyTheListGrowsWithTheWindow() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.ListView1->geometry(), QRect(0, 0, 880, 328));
    QCOMPARE(form.PB->geometry(), QRect(1, 206, 878, 16));
    form.resize(1000, 700);
    QTRY_COMPARE(form.ListView1->geometry(), QRect(0, 0, 1000, 700 - TMainForm::kPanelHeight));
    QCOMPARE(form.Panel1->geometry(), QRect(0, 700 - TMainForm::kPanelHeight, 1000, TMainForm::kPanelHeight));
    QCOMPARE(form.btnRecover->geometry(), QRect(536, 160, 313, 40));
    QCOMPARE(form.PB->geometry(), QRect(1, 206, 998, 16));
}

void MainWindowTest::scanWithoutSelectedDriveAsksForOne() {
    verandol::test::MessageCapture messages;
    TMainForm form;
    form.btnScan->click();
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, QStringLiteral("Please select a drive!"));
    QCOMPARE(messages.shown[0].icon, QMessageBox::NoIcon);
    QVERIFY(!form.Scanning());
    QCOMPARE(form.DeleteFileCount->text(), QStringLiteral("Deleted Files: 0"));
}

void MainWindowTest::recoverWithoutTickedRowAsksForOne() {
    verandol::test::MessageCapture messages;
    TMainForm form;
    form.btnRecover->click();  // an empty list
    verandol::DeletedFileRow row;
    row.position_text = "0x4000";
    row.name = "a.txt";
    form.AddDeletedFileRow({row});
    form.btnRecover->click();  // rows, none ticked
    QCOMPARE(messages.shown.size(), std::size_t{2});
    for (const auto& shown : messages.shown) {
        QCOMPARE(shown.text, QStringLiteral("Please select a file to recover!"));
        QCOMPARE(shown.icon, QMessageBox::NoIcon);
    }
    QVERIFY(!form.Recovering());
}

void MainWindowTest::checkAllTicksAndUnticksEveryRow() {
    TMainForm form;
    verandol::DeletedFilesModel& rows = *form.Rows();
    std::vector<verandol::DeletedFileRow> three(3);
    form.AddDeletedFileRow(three);
    rows.setData(rows.index(1, 0), Qt::Checked, Qt::CheckStateRole);
    QVERIFY(!form.CheckBox1->isChecked());  // a tick by hand leaves the box alone

    form.CheckBox1->click();
    for (int i = 0; i < 3; ++i) QVERIFY(rows.Row(i).ticked);
    form.AddDeletedFileRow({verandol::DeletedFileRow{}});
    QVERIFY(!rows.Row(3).ticked);  // later rows arrive unticked

    form.CheckBox1->click();
    for (int i = 0; i < 4; ++i) QVERIFY(!rows.Row(i).ticked);
}

void MainWindowTest::folderListOpensFoldersAndGoesUp() {
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("beta")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("Alpha/inner")));
    const QString top = QDir(root.path()).canonicalPath();
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.DLB->SetDirectory(top);
    QCOMPARE(form.edPath->text(), top);
    QStringList items;
    for (int i = 0; i < form.DLB->count(); ++i) items << form.DLB->item(i)->text();
    QCOMPARE(items, (QStringList{"..", "Alpha", "beta"}));

    form.DLB->setCurrentRow(1);
    QTest::keyClick(form.DLB->viewport(), Qt::Key_Return);
    QCOMPARE(form.DLB->Directory(), top + "/Alpha");
    QCOMPARE(form.edPath->text(), top + "/Alpha");

    QCoreApplication::processEvents();  // the list lays out its new items
    const QRect up = form.DLB->visualItemRect(form.DLB->item(0));
    // A real double-click: the first click, then the second as a double-click.
    QTest::mouseClick(form.DLB->viewport(), Qt::LeftButton, {}, up.center());
    QTest::mouseDClick(form.DLB->viewport(), Qt::LeftButton, {}, up.center());
    QCOMPARE(form.DLB->Directory(), top);
    QCOMPARE(form.edPath->text(), top);

    // Nothing lies above the root.
    form.DLB->SetDirectory(QStringLiteral("/"));
    QCOMPARE(form.DLB->Directory(), QStringLiteral("/"));
    QVERIFY(form.DLB->count() > 0);
    QVERIFY(form.DLB->findItems(verandol::TDirectoryListBox::UpEntry(), Qt::MatchExactly).isEmpty());
}

void MainWindowTest::driveSelectorMovesTheFolderList() {
    TMainForm form;
    QVERIFY(form.DCB->count() > 0);
    QCOMPARE(form.DCB->currentText(), QStorageInfo(QDir::currentPath()).rootPath());
    QStringList roots;
    for (int i = 0; i < form.DCB->count(); ++i) roots << form.DCB->itemText(i);
    QStringList sorted = roots;
    sorted.sort();
    QCOMPARE(roots, sorted);
    const int root = static_cast<int>(roots.indexOf(QStringLiteral("/")));
    QVERIFY(root >= 0);
    form.DCB->setCurrentIndex(root == 0 && roots.size() > 1 ? 1 : root);
    form.DCB->setCurrentIndex(root);
    QCOMPARE(form.DLB->Directory(), QStringLiteral("/"));
    QCOMPARE(form.edPath->text(), QStringLiteral("/"));
}

void MainWindowTest::websiteOpensTheShippedHelpPage() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    TMainForm form;
    form.Button1->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(opened_.isLocalFile());
    QVERIFY(opened_.toLocalFile().endsWith(QStringLiteral("docs/help.html")));
    QVERIFY(QFileInfo::exists(opened_.toLocalFile()));
}

void MainWindowTest::websiteWithoutABrowserSaysWhereThePageIs() {
    // Offscreen has no launcher at all; on a display, an empty PATH hides
    // xdg-open and every other program that could open the page.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");
    verandol::test::MessageCapture messages;
    TMainForm form;
    form.Button1->click();
    qputenv("PATH", path);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].icon, QMessageBox::NoIcon);
    const QString page = messages.shown[0].text.section(QLatin1Char('\n'), -1);
    QVERIFY2(page.endsWith(QStringLiteral("docs/help.html")), qPrintable(messages.shown[0].text));
    QVERIFY(QFileInfo::exists(page));
}

void MainWindowTest::installedProgramFindsItsInstalledHelpPage() {
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(prefix.filePath(QStringLiteral("share/verandol"))));
    // Before the page is installed the source tree's copy stands in.
    const QString source = verandol::HelpPagePath(bin);
    QVERIFY(source.endsWith(QStringLiteral("docs/help.html")) && QFileInfo::exists(source));
    const QString installed = prefix.filePath(QStringLiteral("share/verandol/help.html"));
    QVERIFY(QFile::copy(source, installed));
    QCOMPARE(verandol::HelpPagePath(bin), QDir::cleanPath(installed));
}

VERANDOL_GUI_TEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
