#include "app/ui/ViewStateKeeper.h"

#include "app/ui/ViewStates.h"
#include "app/view/PageView.h"

namespace quillet {

ViewStateKeeper::ViewStateKeeper(PageView& view, QSettings* store, std::function<qint64()> clock,
                                 QObject* parent)
    : QObject(parent), view_(view), store_(store), clock_(std::move(clock)) {}

ViewStateKeeper::~ViewStateKeeper() {
    pending_.cancel();
}

void ViewStateKeeper::restore() {
    if (restored_ || store_ == nullptr || path_.isEmpty() || view_.pageCount() == 0) {
        return;
    }
    restored_ = true;
    const std::optional<ViewState> state = ViewStates(*store_).load(path_);
    if (!state) {
        return;
    }
    const ViewRestore restore = ViewStates::restoreFor(*state, view_.pageCount());
    if (restore.scale) {
        view_.setScale(*restore.scale);
    }
    if (restore.page) {
        view_.goToPage(*restore.page);
    }
}

void ViewStateKeeper::scheduleSave() {
    if (store_ == nullptr || !restored_) {
        return;
    }
    pending_.cancel();
    pending_ = DelayedWork::schedule(
        saveDelay, [this] { save(); }, this);
}

void ViewStateKeeper::save() {
    pending_.cancel();
    if (store_ == nullptr || path_.isEmpty() || view_.pageCount() == 0) {
        return;
    }
    ViewState state;
    state.page = view_.currentPage();
    state.scale = view_.scale();
    state.autoScales = view_.autoScales() ? 1 : 0;
    state.time = clock_();
    ViewStates(*store_).save(path_, state);
}

}  // namespace quillet
