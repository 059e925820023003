// The window's preview pane and thumbnails: built beside the list, fed from
// the current row, read by the preview reader off the window's thread.
#include <QAction>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>

#include "ui/deleted_files_model.h"
#include "ui/preview/preview_pane.h"
#include "ui/preview/preview_reader.h"
#include "ui/preview/thumbnail_view.h"
#include "ui/uMain.h"

namespace {

// The pane's picture is decoded at most this large; it is scaled again to the pane.
const QSize kPreviewBox(1024, 1024);
constexpr int kPaneWidth = 260;

}  // namespace

void TMainForm::BuildPreview() {
    PreviewWorker = new verandol::PreviewReader(this);
    ListSplitter = new QSplitter(Qt::Horizontal, this);
    ListPages = new QStackedWidget(ListSplitter);
    ListPages->addWidget(ListView1);
    Thumbs = new verandol::ThumbnailModel(
        Model,
        [this](int row, std::uint64_t generation) {
            verandol::PreviewRequest request = PreviewRequestFor(row);
            request.generation = generation;
            request.picture_box = QSize(verandol::ThumbnailModel::kEdge, verandol::ThumbnailModel::kEdge);
            request.picture_only = true;
            PreviewWorker->Thumbnail(std::move(request));
        },
        this);
    ThumbView = new verandol::ThumbnailView(ListPages);
    ThumbView->setModel(Thumbs);
    ListPages->addWidget(ThumbView);
    Preview = new verandol::PreviewPane(ListSplitter);
    ListSplitter->addWidget(ListPages);
    ListSplitter->addWidget(Preview);
    ListSplitter->setStretchFactor(0, 1);
    ListSplitter->setStretchFactor(1, 0);
    ListSplitter->setChildrenCollapsible(true);
    ListSplitter->setSizes({width() - kPaneWidth, kPaneWidth});
    // The list keeps the whole width until a row is chosen.
    Preview->hide();

    connect(PreviewWorker, &verandol::PreviewReader::previewReady, Preview, &verandol::PreviewPane::Show);
    connect(PreviewWorker, &verandol::PreviewReader::thumbnailReady, Thumbs, &verandol::ThumbnailModel::Deliver);
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { PreviewRow(current.isValid() ? current.row() : -1); });
    connect(ThumbView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                PreviewRow(current.isValid() ? Thumbs->mapToSource(current).row() : -1);
            });
    // A new scan's rows replace the ones shown.
    connect(Model, &QAbstractItemModel::modelReset, this, [this] {
        if (Model->TotalCount() != 0) return;
        PreviewWorker->CancelPreview();
        Preview->Clear();
    });
    connect(actPreview, &QAction::toggled, this, [this](bool shown) {
        Preview->setVisible(shown);
        if (shown && ListView1->currentIndex().isValid()) PreviewRow(ListView1->currentIndex().row());
    });
}

verandol::PreviewRequest TMainForm::PreviewRequestFor(int row) const {
    const verandol::ListRow& listed = Model->Row(row);
    verandol::PreviewRequest request;
    request.row = listed.ordinal;
    request.source = ScanGeometry;
    request.position_text = listed.cells[static_cast<std::size_t>(verandol::ListColumn::RecordPosition)];
    if (listed.found_deep) request.found = listed.found;
    if (listed.carved) request.carved = listed.carved_extent;
    return request;
}

void TMainForm::PreviewRow(int row) {
    if (row < 0 || row >= Model->Count()) return Preview->Clear();
    if (!actPreview->isChecked()) return;
    if (Preview->isHidden()) {
        Preview->show();
        ListSplitter->setSizes({ListSplitter->width() - kPaneWidth, kPaneWidth});
    }
    const verandol::ListRow& listed = Model->Row(row);
    Preview->ShowReading(
        QString::fromStdString(listed.cells[static_cast<std::size_t>(verandol::ListColumn::FileName)]));
    verandol::PreviewRequest request = PreviewRequestFor(row);
    request.picture_box = kPreviewBox;
    PreviewWorker->Preview(std::move(request));
}

void TMainForm::ShowThumbnails(bool shown) {
    ListPages->setCurrentWidget(shown ? static_cast<QWidget*>(ThumbView) : ListView1);
}
