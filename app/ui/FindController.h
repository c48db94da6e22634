// Find in the document's text: the search runs on the engine's thread, matches
// arrive one by one in page order and are highlighted as they come (at most
// maxDrawnMatches drawn). The current match is the first one at or after the
// page the reader was on when the search began (it becomes current as soon as
// it arrives; when there is none, the search wraps to the first match), so a
// search never throws the reader back to page 1. Return / Shift+Return and
// Find Next / Find Previous step through them with wrap-around. A new query
// cancels the search still running; clear() forgets everything.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "app/platform/PDFDocument.h"

namespace quillet {

class PageView;

class FindController : public QObject {
    Q_OBJECT

  public:
    static constexpr int maxDrawnMatches = 2000;
    // While matches arrive, the highlights are refreshed at the 1st, 51st, ... one.
    static constexpr int refreshEvery = 50;

    explicit FindController(PageView& view, QObject* parent = nullptr);
    ~FindController() override;

    void setDocument(std::shared_ptr<PDFDocument> pdf);

    // Return in the search field: steps when `query` is the one already found
    // (backwards with Shift), otherwise starts a new search. Empty does nothing.
    void submit(const QString& query, bool backwards);
    // Find Next / Find Previous: steps, or searches `query` when nothing is found yet.
    void findNext(const QString& query);
    void findPrevious(const QString& query);
    // Escape: cancels the search and forgets the query, matches and highlights.
    void clear();

    const QString& query() const { return query_; }
    const std::vector<PDFSearchMatch>& matches() const { return matches_; }
    int currentIndex() const { return index_; }
    bool isSearching() const { return search_ != nullptr; }
    // The search of the current query ended without a match.
    bool foundNothing() const { return ended_ && matches_.empty(); }

  signals:
    // A search ended; `found` is false when it found nothing (the window beeps).
    void searchEnded(bool found);
    void currentMatchChanged(int index);
    // The query, the matches, the current one or the end of the search changed.
    void stateChanged();

  private:
    void start(const QString& query);
    void step(int direction);
    void makeCurrent(int index);
    void matchArrived(const PDFSearchMatch& match);
    void searchFinished();
    void refreshHighlights();
    void cancelSearch();

    PageView& view_;
    std::shared_ptr<PDFDocument> pdf_;
    std::shared_ptr<PDFSearch> search_;
    QString query_;
    std::vector<PDFSearchMatch> matches_;
    int index_ = -1;
    int startPage_ = 0;
    bool ended_ = false;
};

}  // namespace quillet
