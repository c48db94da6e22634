// Go to Page: a window-modal prompt with the current page number, "Go" and
// "Cancel". The typed text is trimmed and read as a decimal integer with an
// optional sign, then clamped to the document's pages; anything else does
// nothing.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quillet::GoToPage {

// The 0-based page for `text`, absent when it is not a number or there are
// no pages. "0" is the first page, "99999" the last of a shorter document.
std::optional<int> targetPage(const QString& text, int pageCount);

// Opens the prompt on `window` and returns at once; `go` gets the 0-based
// page when the user chooses "Go" with a number.
void ask(QWidget* window, int currentPage, int pageCount, std::function<void(int page)> go);

}  // namespace quillet::GoToPage
