// The viewer's text selection: a run of characters of the pages' text, from
// where a drag started to where the pointer is, in reading order. Pages'
// words come from the PDF engine once per page and are kept.
#pragma once

#include <QRectF>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/platform/PDFDocument.h"

namespace quillet {

class PageTextSelection {
  public:
    // A place between two characters: before character `index` of the page.
    struct Position {
        int page = 0;
        int index = 0;

        auto operator<=>(const Position&) const = default;
    };

    void setDocument(std::shared_ptr<PDFDocument> pdf);

    // The place nearest to a page-space point, or absent when the page has
    // no text.
    std::optional<Position> positionAt(int page, QPointF pagePoint);
    // Whether a page-space point lies on a character.
    bool isOverText(int page, QPointF pagePoint);

    void begin(Position at);
    void extendTo(Position to);
    void selectAll();
    void clear();
    bool isEmpty() const;

    // The selected text: words separated by spaces, lines by line feeds,
    // pages by line feeds.
    QString text();
    // The page-space rectangles of the selected characters of one page.
    std::vector<QRectF> rectsOnPage(int page);

    // Selected characters of one line that no wide gap (a column's edge)
    // splits: what one quad of text markup covers.
    struct Run {
        std::vector<QRectF> characters;  // page space
        QString text;
    };
    // A gap wider than this many times a character's larger side ends a run.
    static constexpr double runGapInCharacterSizes = 1.5;
    // The runs of one page's selected characters, in reading order.
    std::vector<Run> runsOnPage(int page);
    // The first and last page the selection touches; absent when empty.
    std::optional<std::pair<int, int>> pageSpan() const;

  private:
    struct Character {
        QChar ch;
        QRectF bounds;  // page space; empty for the separators we insert
    };
    const std::vector<Character>& characters(int page);
    std::pair<Position, Position> ordered() const;
    // The indices of the page's selected characters, first and past the last.
    std::pair<int, int> selectedRange(int page);

    std::shared_ptr<PDFDocument> pdf_;
    std::map<int, std::vector<Character>> pages_;
    std::optional<Position> anchor_;
    std::optional<Position> focus_;
};

}  // namespace quillet
