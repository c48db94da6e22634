#include "app/ui/ViewStates.h"

#include <QSettings>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <vector>

namespace quillet {

namespace {

constexpr double minRestoredScale = 0.05;
constexpr double maxRestoredScale = 20;

}  // namespace

std::optional<ViewState> ViewStates::load(const QString& path) const {
    const QVariantMap all = store_.value(QString::fromLatin1(defaultsKey)).toMap();
    const auto it = all.find(QString::fromLatin1(entryPrefix) + path);
    if (it == all.end()) {
        return std::nullopt;
    }
    const QVariantMap entry = it->toMap();
    bool pageOk = false;
    ViewState state;
    state.page = entry.value(QStringLiteral("page")).toDouble(&pageOk);
    if (!pageOk) {
        return std::nullopt;
    }
    state.scale = entry.value(QStringLiteral("scale")).toDouble();
    state.autoScales = entry.value(QStringLiteral("auto")).toInt();
    state.time = entry.value(QStringLiteral("time")).toLongLong();
    return state;
}

void ViewStates::save(const QString& path, const ViewState& state) {
    QVariantMap all = store_.value(QString::fromLatin1(defaultsKey)).toMap();
    all.insert(QString::fromLatin1(entryPrefix) + path,
               QVariantMap{{QStringLiteral("page"), state.page},
                           {QStringLiteral("scale"), state.scale},
                           {QStringLiteral("auto"), state.autoScales},
                           {QStringLiteral("time"), static_cast<qlonglong>(state.time)}});
    if (all.size() > maxEntries) {
        std::vector<std::pair<qlonglong, QString>> byTime;
        byTime.reserve(static_cast<size_t>(all.size()));
        for (auto it = all.cbegin(); it != all.cend(); ++it) {
            byTime.emplace_back(it->toMap().value(QStringLiteral("time")).toLongLong(), it.key());
        }
        std::sort(byTime.begin(), byTime.end());
        for (size_t i = 0; all.size() > maxEntries; ++i) {
            all.remove(byTime[i].second);
        }
    }
    store_.setValue(QString::fromLatin1(defaultsKey), all);
}

ViewRestore ViewStates::restoreFor(const ViewState& state, int pageCount) {
    ViewRestore restore;
    if (state.scale > minRestoredScale && state.scale < maxRestoredScale && state.autoScales != 1) {
        restore.scale = state.scale;
    }
    if (std::isfinite(state.page)) {
        const double page = std::round(state.page);
        if (page >= 0 && page < pageCount) {
            restore.page = static_cast<int>(page);
        }
    }
    return restore;
}

}  // namespace quillet
