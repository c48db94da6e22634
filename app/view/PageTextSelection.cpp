#include "app/view/PageTextSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillet {

namespace {

double distanceTo(const QRectF& r, QPointF p) {
    const double dx = std::max({r.left() - p.x(), 0.0, p.x() - r.right()});
    const double dy = std::max({r.top() - p.y(), 0.0, p.y() - r.bottom()});
    return std::hypot(dx, dy);
}

// Two words are on one line when their vertical extents overlap by half.
bool sameLine(const QRectF& a, const QRectF& b) {
    const double overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    return overlap >= 0.5 * std::min(a.height(), b.height());
}

}  // namespace

void PageTextSelection::setDocument(std::shared_ptr<PDFDocument> pdf) {
    pdf_ = std::move(pdf);
    pages_.clear();
    clear();
}

const std::vector<PageTextSelection::Character>& PageTextSelection::characters(int page) {
    auto found = pages_.find(page);
    if (found != pages_.end()) {
        return found->second;
    }
    std::vector<Character> chars;
    const std::vector<PDFTextBox> boxes = pdf_ ? pdf_->textBoxes(page) : std::vector<PDFTextBox>{};
    for (size_t i = 0; i < boxes.size(); ++i) {
        const PDFTextBox& box = boxes[i];
        for (qsizetype c = 0; c < box.text.size(); ++c) {
            const bool hasRect = c < static_cast<qsizetype>(box.characterBounds.size());
            chars.push_back({box.text[c], hasRect ? box.characterBounds[static_cast<size_t>(c)].normalized()
                                                  : box.bounds.normalized()});
        }
        if (i + 1 < boxes.size()) {
            if (!sameLine(box.bounds.normalized(), boxes[i + 1].bounds.normalized())) {
                chars.push_back({QChar('\n'), {}});
            } else if (box.hasSpaceAfter) {
                chars.push_back({QChar(' '), {}});
            }
        }
    }
    return pages_.emplace(page, std::move(chars)).first->second;
}

std::optional<PageTextSelection::Position> PageTextSelection::positionAt(int page, QPointF pagePoint) {
    const std::vector<Character>& chars = characters(page);
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < chars.size(); ++i) {
        if (chars[i].bounds.isEmpty()) {
            continue;
        }
        const double d = distanceTo(chars[i].bounds, pagePoint);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    if (best < 0) {
        return std::nullopt;
    }
    // Past the middle of a character the place is after it.
    const QRectF& r = chars[static_cast<size_t>(best)].bounds;
    return Position{page, pagePoint.x() > r.center().x() ? best + 1 : best};
}

bool PageTextSelection::isOverText(int page, QPointF pagePoint) {
    const std::vector<Character>& chars = characters(page);
    return std::any_of(chars.begin(), chars.end(),
                       [&](const Character& c) { return c.bounds.contains(pagePoint); });
}

void PageTextSelection::begin(Position at) {
    anchor_ = at;
    focus_ = at;
}

void PageTextSelection::extendTo(Position to) {
    if (anchor_) {
        focus_ = to;
    }
}

void PageTextSelection::selectAll() {
    const int count = pdf_ ? pdf_->pageCount() : 0;
    if (count == 0) {
        clear();
        return;
    }
    anchor_ = Position{0, 0};
    focus_ = Position{count - 1, std::numeric_limits<int>::max()};
}

void PageTextSelection::clear() {
    anchor_.reset();
    focus_.reset();
}

bool PageTextSelection::isEmpty() const {
    return !anchor_ || !focus_ || *anchor_ == *focus_;
}

std::pair<PageTextSelection::Position, PageTextSelection::Position> PageTextSelection::ordered() const {
    return *anchor_ <= *focus_ ? std::pair{*anchor_, *focus_} : std::pair{*focus_, *anchor_};
}

QString PageTextSelection::text() {
    if (isEmpty()) {
        return {};
    }
    const auto [from, to] = ordered();
    QString result;
    for (int page = from.page; page <= to.page; ++page) {
        const std::vector<Character>& chars = characters(page);
        const int first = page == from.page ? from.index : 0;
        const int last = page == to.page ? std::min(to.index, static_cast<int>(chars.size()))
                                         : static_cast<int>(chars.size());
        if (page > from.page && !result.isEmpty() && !result.endsWith(QChar('\n'))) {
            result += QChar('\n');
        }
        for (int i = std::max(first, 0); i < last; ++i) {
            result += chars[static_cast<size_t>(i)].ch;
        }
    }
    return result;
}

std::pair<int, int> PageTextSelection::selectedRange(int page) {
    if (isEmpty()) {
        return {0, 0};
    }
    const auto [from, to] = ordered();
    if (page < from.page || page > to.page) {
        return {0, 0};
    }
    const int count = static_cast<int>(characters(page).size());
    const int first = page == from.page ? std::max(from.index, 0) : 0;
    const int last = page == to.page ? std::min(to.index, count) : count;
    return {first, std::max(first, last)};
}

std::vector<QRectF> PageTextSelection::rectsOnPage(int page) {
    std::vector<QRectF> rects;
    const auto [first, last] = selectedRange(page);
    const std::vector<Character>& chars = characters(page);
    for (int i = first; i < last; ++i) {
        if (!chars[static_cast<size_t>(i)].bounds.isEmpty()) {
            rects.push_back(chars[static_cast<size_t>(i)].bounds);
        }
    }
    return rects;
}

namespace {

double gapBetween(const QRectF& a, const QRectF& b) {
    const double dx = std::max({a.left() - b.right(), 0.0, b.left() - a.right()});
    const double dy = std::max({a.top() - b.bottom(), 0.0, b.top() - a.bottom()});
    return std::hypot(dx, dy);
}

}  // namespace

std::vector<PageTextSelection::Run> PageTextSelection::runsOnPage(int page) {
    std::vector<Run> runs;
    const auto [first, last] = selectedRange(page);
    const std::vector<Character>& chars = characters(page);
    Run run;
    auto endRun = [&] {
        if (!run.characters.empty()) {
            runs.push_back({std::move(run.characters), run.text.trimmed()});
        }
        run = {};
    };
    for (int i = first; i < last; ++i) {
        const Character& c = chars[static_cast<size_t>(i)];
        if (c.ch == QChar('\n')) {
            endRun();
            continue;
        }
        if (!c.bounds.isEmpty() && !run.characters.empty()) {
            const QRectF& previous = run.characters.back();
            const double size =
                std::max({previous.width(), previous.height(), c.bounds.width(), c.bounds.height()});
            if (gapBetween(previous, c.bounds) > runGapInCharacterSizes * size) {
                endRun();
            }
        }
        if (!c.bounds.isEmpty()) {
            run.characters.push_back(c.bounds);
        }
        if (!run.characters.empty()) {
            run.text += c.ch;
        }
    }
    endRun();
    return runs;
}

std::optional<std::pair<int, int>> PageTextSelection::pageSpan() const {
    if (isEmpty()) {
        return std::nullopt;
    }
    const auto [from, to] = ordered();
    return std::pair{from.page, to.page};
}

}  // namespace quillet
