// The window as a person first uses it, on the folder volume: names drawn
// whole, Check All beside the filter and files in use, a box at every end,
// Escape where the focus is, sorting by value both ways, and the words in
// the progress bar.
#include <algorithm>
#include <chrono>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "gui_test_support.h"
#include "text/date_time_text.h"
#include "ui/deleted_files_model.h"
#include "ui/directory_list_box.h"
#include "ui/drive_combo_box.h"
#include "ui/filter_bar.h"
#include "ui/progress_pace.h"
#include "ui/question_box.h"
#include "ui/uMain.h"

using namespace verandol::test;
using verandol::ListColumn;

namespace {

const char* const kImage = "folders.img";
// Its deleted files' records went to later files: a walk of its MFT lists none.
const char* const kNothingDeleted = "carve.img";

verandol::testing::Manifest FolderManifest() { return verandol::testing::LoadManifestFile("folders.folders.json"); }

int RowNamed(const TMainForm& form, const std::string& name) {
    for (int i = 0; i < form.Rows()->Count(); ++i)
        if (form.Rows()->Row(i).cells[1] == name) return i;
    return -1;
}

int Ticked(const TMainForm& form) {
    int ticked = 0;
    for (int i = 0; i < form.Rows()->Count(); ++i) ticked += form.Rows()->Row(i).ticked;
    return ticked;
}

QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

// Answers every question with `answer` and keeps what was asked.
class QuestionCapture {
public:
    explicit QuestionCapture(int answer)
        : previous_(verandol::SetQuestionInterceptor([this, answer](const verandol::AskedQuestion& question) {
              asked.push_back(question);
              return answer;
          })) {}
    ~QuestionCapture() { verandol::SetQuestionInterceptor(std::move(previous_)); }
    std::vector<verandol::AskedQuestion> asked;

private:
    verandol::QuestionInterceptor previous_;
};

// An NTFS time at noon UTC of a day of 2010.
std::uint64_t Noon2010(int month, int day) {
    const QDateTime when(QDate(2010, month, day), QTime(12, 0), Qt::UTC);
    return static_cast<std::uint64_t>(when.toSecsSinceEpoch() + 11644473600LL) * 10000000ULL;
}

verandol::DeletedFileRow MadeRow(const std::string& name, std::uint64_t time) {
    verandol::DeletedFileRow row;
    row.position_text = "0x7F000";
    row.name = name;
    row.type = ".JPG";
    row.size = 1;
    row.size_text = "1";
    row.created_time = row.modified_time = time;
    row.created_text = row.modified_text = verandol::NtfsTimeText(time);
    return row;
}

// The widest run of columns without ink between the first and the last
// inked column of `cell` in `shot`, above the cell's grid lines.
int WidestInkGap(const QImage& shot, const QRect& cell) {
    const int background = qGray(shot.pixel(cell.left() + cell.width() - 4, cell.top() + 1));
    int first = -1, last = -1, widest = 0, gap = 0;
    for (int x = cell.left(); x < cell.right(); ++x) {
        bool ink = false;
        for (int y = cell.top(); y < cell.bottom(); ++y) ink = ink || qGray(shot.pixel(x, y)) < background - 60;
        if (!ink) {
            ++gap;
            continue;
        }
        if (first < 0) first = x;
        else widest = std::max(widest, gap);
        last = x;
        gap = 0;
    }
    return first < 0 || first == last ? -1 : widest;
}

void ClickHeader(TMainForm& form, ListColumn column) {
    emit form.ListView1->header()->sectionClicked(static_cast<int>(column));
}

}  // namespace

class EverydayUseTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void underscoresInNamesAreDrawn();
    void checkAllTicksDeletedFilesShownAndFollowsFilterAndScan();
    void tickedRowsTheFilterHidesAreRecoveredOnlyWhenAsked();
    void everyEndOfAScanOrRecoverySaysHowItWent();
    void escapeActsOnTheFocusedControlOnly();
    void sizesAndDatesSortByValueBothWays();
    void progressBarShowsPaceThenTheTickedRows();
    void paceStaysSaneWhenReadsSlowDown();

private:
    QTemporaryDir volumes_;
};

void EverydayUseTest::initTestCase() {
    QVERIFY(volumes_.isValid());
    QVERIFY(StageImage(volumes_.path(), "carve", QString::fromLatin1(kNothingDeleted)));
    QVERIFY(StageImage(volumes_.path(), "folders", QString::fromLatin1(kImage)));
}

// "IMG_0042.JPG" must not read as "IMG 0042.JPG": the two names' cells,
// drawn by the window, differ.
void EverydayUseTest::underscoresInNamesAreDrawn() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    const int underscored = RowNamed(form, "IMG_0042.JPG");
    QVERIFY(underscored >= 0);
    form.AddDeletedFileRow({MadeRow("IMG 0042.JPG", 0)});
    const int spaced = form.Rows()->Count() - 1;
    form.ListView1->clearSelection();
    form.ListView1->setCurrentIndex({});
    const QImage shot = form.ListView1->viewport()->grab().toImage();
    const int name = static_cast<int>(ListColumn::FileName);
    const QRect first = form.ListView1->visualRect(form.Rows()->index(underscored, name));
    const QRect second = form.ListView1->visualRect(form.Rows()->index(spaced, name));
    QVERIFY(shot.rect().contains(first) && shot.rect().contains(second));
    // An underscore fills the room between "G" and "0" that a space leaves empty.
    QVERIFY2(WidestInkGap(shot, second) >= 3, "the space is not seen");
    QVERIFY2(WidestInkGap(shot, first) < 3, "the underscore is not drawn");
}

void EverydayUseTest::checkAllTicksDeletedFilesShownAndFollowsFilterAndScan() {
    TMainForm form;
    form.show();
    form.cbFilesInUse->setChecked(true);
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    const int deleted = static_cast<int>(FolderManifest().Deleted().size());
    QVERIFY(form.Rows()->Count() > deleted);
    // A file still in use is never recovered by Check All, only by hand.
    form.CheckBox1->click();
    for (int i = 0; i < form.Rows()->Count(); ++i)
        QCOMPARE(form.Rows()->Row(i).ticked, !form.Rows()->Row(i).InUse());
    QCOMPARE(Ticked(form), deleted);

    // The box says whether the rows the filter shows are all ticked.
    form.ShowFilterBar();
    form.FilterBar1->Text->setText(QStringLiteral("report"));
    QCOMPARE(form.Rows()->Count(), 2);
    QVERIFY(form.CheckBox1->isChecked());
    form.CheckBox1->click();  // unticks the two shown
    QCOMPARE(Ticked(form), 0);
    form.FilterBar1->Text->clear();
    QVERIFY(!form.CheckBox1->isChecked());
    QCOMPARE(Ticked(form), deleted - 2);
    form.FilterBar1->Text->setText(QStringLiteral("main.c"));
    QVERIFY(form.CheckBox1->isChecked());
    form.HideFilterBar();
    QVERIFY(!form.CheckBox1->isChecked());

    // A new scan starts with the box unticked, as its rows arrive.
    form.CheckBox1->click();
    QVERIFY(form.CheckBox1->isChecked());
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    QVERIFY(!form.CheckBox1->isChecked());
    QCOMPARE(Ticked(form), 0);
}

void EverydayUseTest::tickedRowsTheFilterHidesAreRecoveredOnlyWhenAsked() {
    MessageCapture messages;
    TMainForm form;
    form.show();
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    const int all = form.Rows()->Count();
    form.CheckBox1->click();
    form.ShowFilterBar();
    form.FilterBar1->Text->setText(QStringLiteral("report"));
    QCOMPARE(form.Rows()->Count(), 2);

    {
        QTemporaryDir out;
        form.DLB->SetDirectory(out.path());
        QuestionCapture cancel(2);
        form.btnRecover->click();
        QCOMPARE(cancel.asked.size(), std::size_t{1});
        QCOMPARE(cancel.asked[0].text,
                 QStringLiteral("%1 of the %2 ticked files are hidden by the filter. Recover them too, or only the "
                                "ticked files shown?")
                     .arg(all - 2)
                     .arg(all));
        QCOMPARE(cancel.asked[0].answers,
                 (QStringList{QStringLiteral("Recover All %1").arg(all), "Only the 2 Shown", "Cancel"}));
        QVERIFY(!form.Recovering());
        QVERIFY(FilesIn(out.path()).isEmpty());
        QVERIFY(messages.shown.empty());
    }
    {
        QTemporaryDir out;
        form.DLB->SetDirectory(out.path());
        QuestionCapture shown_only(1);
        form.btnRecover->click();
        QVERIFY(WaitForRecovery(form));
        QCOMPARE(shown_only.asked.size(), std::size_t{1});
        QCOMPARE(FilesIn(out.path()).size(), 2);
        QCOMPARE(form.PB->maximum(), 2);
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QCOMPARE(messages.shown[0].text, QStringLiteral("All 2 ticked files were recovered into %1.").arg(out.path()));
    }
    {
        QTemporaryDir out;
        form.DLB->SetDirectory(out.path());
        QuestionCapture everything(0);
        form.btnRecover->click();
        QVERIFY(WaitForRecovery(form));
        QCOMPARE(FilesIn(out.path()).size(), all);
        QCOMPARE(form.PB->maximum(), all);
        QCOMPARE(messages.shown.size(), std::size_t{2});
        // clip-a.bin and clip-b.bin lost clusters to later files.
        QVERIFY2(messages.shown[1].text.startsWith(QStringLiteral("%1 of %2 ticked files were recovered.")
                                                       .arg(all - 2)
                                                       .arg(all)),
                 qPrintable(messages.shown[1].text));
    }
    // With nothing hidden, nothing is asked.
    form.HideFilterBar();
    QuestionCapture none(2);
    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QVERIFY(none.asked.empty());
}

void EverydayUseTest::everyEndOfAScanOrRecoverySaysHowItWent() {
    MessageCapture messages;
    TMainForm form;
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kNothingDeleted)));
    QCOMPARE(form.Rows()->Count(), 0);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text,
             QStringLiteral("The scan found no deleted files. A deep scan, a search for lost volumes, or Carve Free "
                            "Space, which finds files by their content, may still find some."));

    // Stopped: the worker cannot pass its first row without this thread.
    form.DriveList->clearSelection();
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    QCOMPARE(messages.shown.size(), std::size_t{1});  // a scan that found files says nothing more
    form.btnScan->click();
    form.btnScan->click();
    QVERIFY(WaitForScan(form));
    QCOMPARE(messages.shown.size(), std::size_t{2});
    const int listed = form.Rows()->Count();
    QCOMPARE(messages.shown[1].text,
             listed == 0 ? QStringLiteral("The scan was stopped before it found any file.")
                         : QStringLiteral("The scan was stopped. The %1 found so far %2 listed.")
                               .arg(listed == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(listed),
                                    listed == 1 ? QStringLiteral("is") : QStringLiteral("are")));

    // A recovery in which everything went well says so, and where.
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    QTemporaryDir out;
    form.DLB->SetDirectory(out.path());
    for (const char* name : {"main.c", "notes.txt"})
        form.Rows()->setData(form.Rows()->index(RowNamed(form, name), 0), Qt::Checked, Qt::CheckStateRole);
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{3});
    QCOMPARE(messages.shown[2].text, QStringLiteral("All 2 ticked files were recovered into %1.").arg(out.path()));
    QCOMPARE(FilesIn(out.path()), (QStringList{"main.c", "notes.txt"}));

    // Stopped before its first row.
    QTemporaryDir stopped;
    form.DLB->SetDirectory(stopped.path());
    form.btnRecover->click();
    form.btnRecover->click();
    QVERIFY(WaitForRecovery(form));
    QCOMPARE(messages.shown.size(), std::size_t{4});
    QCOMPARE(messages.shown[3].text, QStringLiteral("The recovery was stopped. 0 of 2 ticked files were recovered."));
}

void EverydayUseTest::escapeActsOnTheFocusedControlOnly() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form.FilterBar1->Text, QStringLiteral("report"));
    QCOMPARE(form.Rows()->Count(), 2);

    // In the output drive box, and in the list, Escape leaves the filter be.
    for (QWidget* focused : {static_cast<QWidget*>(form.DCB), static_cast<QWidget*>(form.ListView1)}) {
        focused->setFocus();
        QTRY_VERIFY(focused->hasFocus());
        QTest::keyClick(focused, Qt::Key_Escape);
        QVERIFY2(form.FilterBar1->isVisible(), focused->metaObject()->className());
        QCOMPARE(form.FilterBar1->Text->text(), QStringLiteral("report"));
        QCOMPARE(form.Rows()->Count(), 2);
    }
    // In the filter's own fields it closes the bar.
    form.FilterBar1->MinimumSize->setFocus();
    QTest::keyClick(form.FilterBar1->MinimumSize, Qt::Key_Escape);
    QVERIFY(!form.FilterBar1->isVisible());
    QCOMPARE(form.Rows()->Count(), static_cast<int>(FolderManifest().Deleted().size()));
}

void EverydayUseTest::sizesAndDatesSortByValueBothWays() {
    TMainForm form;
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    const auto sizes = [&] {
        std::vector<std::int64_t> found;
        for (int i = 0; i < form.Rows()->Count(); ++i) found.push_back(form.Rows()->Row(i).size);
        return found;
    };
    ClickHeader(form, ListColumn::FileSize);
    std::vector<std::int64_t> ascending = sizes();
    QVERIFY(std::is_sorted(ascending.begin(), ascending.end()));
    QVERIFY(ascending.front() < 100 && ascending.back() > 10000);  // "15" before "12288"
    QCOMPARE(form.ListView1->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    ClickHeader(form, ListColumn::FileSize);
    std::vector<std::int64_t> descending = sizes();
    QVERIFY(std::is_sorted(descending.rbegin(), descending.rend()));
    QCOMPARE(form.ListView1->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(form, ListColumn::FileSize);
    QCOMPARE(sizes(), ascending);

    // September before October, although "9/..." follows "10/..." as text.
    form.AddDeletedFileRow({MadeRow("october.jpg", Noon2010(10, 1)), MadeRow("september.jpg", Noon2010(9, 1))});
    for (const ListColumn dates : {ListColumn::CreateDate, ListColumn::LastModifyDate}) {
        ClickHeader(form, dates);
        QVERIFY(RowNamed(form, "september.jpg") < RowNamed(form, "october.jpg"));
        ClickHeader(form, dates);
        QVERIFY(RowNamed(form, "september.jpg") > RowNamed(form, "october.jpg"));
    }

    // Names keep the list's own text order, reversed on the second click.
    ClickHeader(form, ListColumn::FileName);
    QCOMPARE(form.Rows()->Row(0).cells[1], std::string("clip-a.bin"));
    ClickHeader(form, ListColumn::FileName);
    QCOMPARE(form.Rows()->Row(0).cells[1], std::string("メモ.txt"));
}

void EverydayUseTest::progressBarShowsPaceThenTheTickedRows() {
    TMainForm form;
    QStringList during;
    connect(form.PB, &QProgressBar::valueChanged, this, [&] { during << form.PB->text(); });
    QVERIFY(ScanListedImage(form, QString::fromLatin1(kImage)));
    QVERIFY(form.PB->isTextVisible());
    QVERIFY(!during.isEmpty());
    const QRegularExpression pace(
        QStringLiteral("^\\d{1,3}%, (—|\\d+(\\.\\d)?) records/s, (time left —|about \\d.* left|done)$"));
    for (const QString& text : during) QVERIFY2(pace.match(text).hasMatch(), qPrintable(text));
    QVERIFY2(during.last().startsWith(QStringLiteral("100%")), qPrintable(during.last()));

    // Between jobs the bar says what is ticked.
    QCOMPARE(form.PB->text(), QStringLiteral("Ticked Files: 0"));
    std::int64_t bytes = 0;
    const int main_c = RowNamed(form, "main.c"), image = RowNamed(form, "IMG_0042.JPG");
    for (const int row : {main_c, image}) {
        form.Rows()->setData(form.Rows()->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        bytes += form.Rows()->Row(row).size;
    }
    QCOMPARE(bytes, 29 + 28672);
    QCOMPARE(form.PB->text(), QStringLiteral("Ticked Files: 2, 29 KB"));
    form.ShowFilterBar();
    form.FilterBar1->Text->setText(QStringLiteral("main"));
    QCOMPARE(form.PB->text(), QStringLiteral("Ticked Files: 2, 29 KB (1 hidden by the filter)"));
}

void EverydayUseTest::paceStaysSaneWhenReadsSlowDown() {
    using namespace std::chrono_literals;
    verandol::ProgressPace pace;
    auto now = verandol::ProgressPace::Clock::time_point{} + 1h;
    pace.Start(1000, "records", now);
    QCOMPARE(QString::fromStdString(pace.Text()), QStringLiteral("0%, — records/s, time left —"));
    // 100 a second for three seconds.
    std::int64_t position = 0;
    for (int step = 0; step < 30; ++step) {
        now += 100ms;
        position += 10;
        pace.Update(position, now);
    }
    QVERIFY2(std::abs(pace.Rate() - 100) < 1, qPrintable(QString::number(pace.Rate())));
    QVERIFY(std::abs(pace.SecondsLeft() - 7) < 0.2);
    QCOMPARE(QString::fromStdString(pace.Text()), QStringLiteral("30%, 100 records/s, about 7 s left"));
    // One slow second moves the estimate only part of the way.
    now += 1s;
    pace.Update(position + 10, now);
    QVERIFY(pace.Rate() > 50 && pace.Rate() < 100);
    // A stall: the rate falls away, the time left only grows, then is unknown.
    double left = pace.SecondsLeft();
    for (int second = 0; second < 120; ++second) {
        now += 1s;
        pace.Update(position + 10, now);
        QVERIFY(pace.Rate() >= 0);
        if (pace.SecondsLeft() < 0) break;
        QVERIFY(pace.SecondsLeft() >= left);
        left = pace.SecondsLeft();
    }
    QCOMPARE(pace.SecondsLeft(), -1.0);
    QVERIFY(QString::fromStdString(pace.Text()).endsWith(QStringLiteral("time left —")));
    // Positions that go back, a clock that goes back, and too far: no
    // negative rate or time, no percent past 100.
    pace.Update(5, now);
    pace.Update(4, now - 10s);
    QVERIFY(pace.Rate() >= 0);
    pace.Update(5000, now + 1s);
    QCOMPARE(pace.Percent(), 100);
    QCOMPARE(pace.SecondsLeft(), 0.0);
    QVERIFY(QString::fromStdString(pace.Text()).endsWith(QStringLiteral("done")));
    verandol::ProgressPace empty;
    empty.Start(0, "files", now);
    empty.Update(3, now + 1s);
    QCOMPARE(empty.Percent(), 0);
    QVERIFY(empty.SecondsLeft() <= 0);
}

VERANDOL_GUI_TEST_MAIN(EverydayUseTest)

#include "tst_everyday_use.moc"
