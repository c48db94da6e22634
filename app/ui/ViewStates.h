// Where each file was left: page, scale and fit-to-width, kept in the
// defaults store under "QuilletViewStates" as a dictionary from
// "QuilletView:" + the file's path to {"page", "scale", "auto", "time"}, at
// most 200 entries (the oldest by time go first).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QSettings;

namespace quillet {

struct ViewState {
    double page = 0;  // 0-based page index
    double scale = 1;
    int autoScales = 0;     // 1 when fit-to-width was on
    std::int64_t time = 0;  // seconds since 1970
};

// What a stored state changes in a view that shows `pageCount` pages.
struct ViewRestore {
    std::optional<double> scale;  // turn fit-to-width off and apply it
    std::optional<int> page;
};

class ViewStates {
  public:
    static constexpr char defaultsKey[] = "QuilletViewStates";
    static constexpr char entryPrefix[] = "QuilletView:";
    static constexpr int maxEntries = 200;

    explicit ViewStates(QSettings& store) : store_(store) {}

    std::optional<ViewState> load(const QString& path) const;
    // Stores the state, then drops the oldest entries beyond maxEntries.
    void save(const QString& path, const ViewState& state);

    // A scale outside (0.05, 20) is ignored, and so is any scale when "auto"
    // is 1; the page only when, rounded, it is one of the document's.
    static ViewRestore restoreFor(const ViewState& state, int pageCount);

  private:
    QSettings& store_;
};

}  // namespace quillet
