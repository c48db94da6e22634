#include "app/ui/ThumbnailView.h"

#include <QAbstractListModel>
#include <QIcon>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "app/view/PageRenderer.h"
#include "app/view/PageView.h"

namespace quillet {

namespace {

// Room under each thumbnail for its page number, and around it.
constexpr int labelHeight = 18;
constexpr int cellPadding = 8;

double thumbnailScale(QSizeF pageSize) {
    if (pageSize.width() <= 0 || pageSize.height() <= 0) {
        return 0;
    }
    return std::min(ThumbnailView::thumbnailSize.width() / pageSize.width(),
                    ThumbnailView::thumbnailSize.height() / pageSize.height());
}

}  // namespace

// Rows are pages; the decoration is the cached thumbnail (blank paper until it
// arrives) with the overlay drawn on it.
class ThumbnailModel : public QAbstractListModel {
  public:
    ThumbnailModel(PageView& pageView, QObject* parent) : QAbstractListModel(parent), pageView_(pageView) {}

    void reset(PageRenderer* renderer) {
        beginResetModel();
        renderer_ = renderer;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : pageView_.pageCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole) {
            return QString::number(index.row() + 1);
        }
        if (role == Qt::DecorationRole) {
            // The same picture when selected: the selection shows in the cell, not as a tint.
            const QPixmap pixmap = thumbnail(index.row());
            QIcon icon;
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
            return icon;
        }
        if (role == Qt::SizeHintRole) {
            return QSize(ThumbnailView::thumbnailSize.width() + 2 * cellPadding,
                         ThumbnailView::thumbnailSize.height() + labelHeight + 2 * cellPadding);
        }
        return {};
    }

    double pixelScale(int page) const { return thumbnailScale(pageView_.pageDisplaySize(page)) * pixelRatio; }

    QImage cached(int page) const {
        return renderer_ ? renderer_->cachedImage(page, pixelScale(page)) : QImage();
    }

    void pageChanged(int page) {
        const QModelIndex at = index(page);
        emit dataChanged(at, at, {Qt::DecorationRole});
    }

    ThumbnailView::OverlayPainter overlay;
    double pixelRatio = 1;

  private:
    QPixmap thumbnail(int page) const {
        const QSizeF size = pageView_.pageDisplaySize(page) * thumbnailScale(pageView_.pageDisplaySize(page));
        QImage image(size.toSize() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            return {};
        }
        image.fill(Qt::white);
        QImage rendered = cached(page);
        if (rendered.isNull() && renderer_) {
            rendered = renderer_->closestImage(page, pixelScale(page));
        }
        QPainter painter(&image);
        if (!rendered.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.drawImage(QRectF(image.rect()), rendered);
        }
        if (overlay) {
            const double s = thumbnailScale(pageView_.pageDisplaySize(page)) * pixelRatio;
            painter.setRenderHint(QPainter::Antialiasing, true);
            overlay(painter, page, QTransform::fromScale(s, s));
        }
        painter.setPen(QColor(0, 0, 0, 60));
        painter.drawRect(QRectF(image.rect()).adjusted(0, 0, -1, -1));
        painter.end();
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(pixelRatio);
        return pixmap;
    }

    PageView& pageView_;
    PageRenderer* renderer_ = nullptr;
};

ThumbnailView::ThumbnailView(PageView& pageView, QWidget* parent)
    : QListView(parent), pageView_(pageView), model_(new ThumbnailModel(pageView, this)) {
    setObjectName(QStringLiteral("QuilletThumbnails"));
    // A list of cells of one size: its layout is a multiplication, where the
    // icon mode keeps a placed item for every page (thousands of them, on
    // the main thread, before a large document's window is first shown).
    // The cells still look like icons: picture on top, number below.
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(thumbnailSize);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setModel(model_);
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit pageClicked(index.row()); });
    connect(&pageView_, &PageView::documentReloaded, this, &ThumbnailView::documentChanged);
    connect(&pageView_, &PageView::currentPageChanged, this, &ThumbnailView::currentPageChanged);
    documentChanged();
}

ThumbnailView::~ThumbnailView() = default;

void ThumbnailView::setOverlayPainter(OverlayPainter painter) {
    model_->overlay = std::move(painter);
    viewport()->update();
}

void ThumbnailView::refreshPages(const std::vector<int>& pages) {
    for (int page : pages) {
        if (page >= 0 && page < model_->rowCount({})) {
            model_->pageChanged(page);
        }
    }
}

bool ThumbnailView::hasThumbnail(int pageIndex) const {
    return !model_->cached(pageIndex).isNull();
}

void ThumbnailView::documentChanged() {
    model_->reset(nullptr);
    renderer_.reset();
    if (const std::shared_ptr<PDFDocument>& pdf = pageView_.document()) {
        renderer_ = std::make_unique<PageRenderer>(pdf);
        connect(renderer_.get(), &PageRenderer::pageRendered, this,
                [this](int page) { model_->pageChanged(page); });
    }
    model_->reset(renderer_.get());
    currentPageChanged(pageView_.currentPage());
}

void ThumbnailView::currentPageChanged(int pageIndex) {
    if (pageIndex >= 0 && pageIndex < model_->rowCount({})) {
        const QModelIndex index = model_->index(pageIndex);
        setCurrentIndex(index);
        scrollTo(index);
    }
}

void ThumbnailView::initViewItemOption(QStyleOptionViewItem* option) const {
    QListView::initViewItemOption(option);
    option->decorationPosition = QStyleOptionViewItem::Top;
    option->decorationAlignment = Qt::AlignCenter;
    option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}

void ThumbnailView::paintEvent(QPaintEvent* event) {
    model_->pixelRatio = viewport()->devicePixelRatioF();
    QListView::paintEvent(event);
    requestVisible();
}

void ThumbnailView::requestVisible() {
    if (!renderer_ || model_->rowCount({}) == 0) {
        return;
    }
    const QModelIndex top = indexAt(QPoint(viewport()->width() / 2, cellPadding));
    const int first = top.isValid() ? top.row() : 0;
    const int perScreen = viewport()->height() / (thumbnailSize.height() + labelHeight) + 2;
    const int last = std::min(first + perScreen, model_->rowCount({}) - 1);
    std::vector<std::pair<int, double>> wanted;
    for (int page = first; page <= last; ++page) {
        if (model_->cached(page).isNull()) {
            wanted.emplace_back(page, model_->pixelScale(page));
        }
    }
    renderer_->request(wanted);
}

}  // namespace quillet
