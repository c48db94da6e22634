#include "app/ui/FindController.h"

#include <QPointer>
#include <algorithm>

#include "app/view/PageView.h"

namespace quillet {

FindController::FindController(PageView& view, QObject* parent) : QObject(parent), view_(view) {}

FindController::~FindController() {
    cancelSearch();
}

void FindController::setDocument(std::shared_ptr<PDFDocument> pdf) {
    clear();
    pdf_ = std::move(pdf);
}

void FindController::submit(const QString& query, bool backwards) {
    if (query.isEmpty()) {
        return;
    }
    if (query == query_ && !matches_.empty()) {
        step(backwards ? -1 : 1);
        return;
    }
    start(query);
}

void FindController::findNext(const QString& query) {
    if (!matches_.empty() && query == query_) {
        step(1);
    } else if (!query.isEmpty()) {
        start(query);
    }
}

void FindController::findPrevious(const QString& query) {
    if (!matches_.empty() && query == query_) {
        step(-1);
    } else if (!query.isEmpty()) {
        start(query);
    }
}

void FindController::clear() {
    cancelSearch();
    query_.clear();
    matches_.clear();
    index_ = -1;
    ended_ = false;
    view_.setFindHighlights({});
    view_.setCurrentFindMatch(std::nullopt);
    emit stateChanged();
}

void FindController::start(const QString& query) {
    clear();
    query_ = query;
    startPage_ = std::max(view_.currentPage(), 0);
    if (!pdf_) {
        searchFinished();
        return;
    }
    // The callbacks come on the main thread and stop once cancel() returned;
    // the guard covers a controller destroyed in between.
    QPointer<FindController> self(this);
    search_ = pdf_->beginFind(query, PDFSearchCallbacks{
                                         [self](const PDFSearchMatch& match) {
                                             if (self) {
                                                 self->matchArrived(match);
                                             }
                                         },
                                         [self] {
                                             if (self) {
                                                 self->searchFinished();
                                             }
                                         },
                                     });
}

void FindController::matchArrived(const PDFSearchMatch& match) {
    matches_.push_back(match);
    const int count = static_cast<int>(matches_.size());
    if (count <= maxDrawnMatches && (count - 1) % refreshEvery == 0) {
        refreshHighlights();
    }
    if (index_ < 0 && match.pageIndex >= startPage_) {
        makeCurrent(count - 1);
    } else {
        emit stateChanged();
    }
}

void FindController::searchFinished() {
    search_.reset();
    ended_ = true;
    refreshHighlights();
    if (index_ < 0 && !matches_.empty()) {
        makeCurrent(0);  // nothing at or after the start page: wrap around
    }
    emit stateChanged();
    emit searchEnded(!matches_.empty());
}

void FindController::step(int direction) {
    const int count = static_cast<int>(matches_.size());
    makeCurrent(((index_ + direction) % count + count) % count);
}

void FindController::makeCurrent(int index) {
    index_ = index;
    view_.setCurrentFindMatch(matches_[static_cast<size_t>(index)]);
    emit currentMatchChanged(index);
    emit stateChanged();
}

void FindController::refreshHighlights() {
    const size_t drawn = std::min(matches_.size(), static_cast<size_t>(maxDrawnMatches));
    view_.setFindHighlights(std::vector<PDFSearchMatch>(matches_.begin(), matches_.begin() + drawn));
}

void FindController::cancelSearch() {
    if (search_) {
        search_->cancel();
        search_.reset();
    }
}

}  // namespace quillet
