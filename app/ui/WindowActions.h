// The commands of a document window, as QActions the main menu shows and the
// keys reach. The window handles the viewer's own (find, zoom, pages,
// thumbnails, window commands); the others are left for the parts that own
// them to connect: they connect `triggered` and enable the action, which
// stays disabled until then. Every action has its title and shortcut set.
#pragma once

#include <array>

class QAction;
class QMenu;

namespace quillet {

struct WindowActions {
    // File
    QAction* open = nullptr;      // the shell
    QMenu* openRecent = nullptr;  // the document controller fills it; ends with clearRecent
    QAction* clearRecent = nullptr;
    QAction* close = nullptr;  // the window
    QAction* save = nullptr;
    QAction* saveAs = nullptr;
    QAction* revertToSaved = nullptr;
    QAction* revertToOpened = nullptr;
    QAction* exportFlattened = nullptr;
    QAction* showInFileManager = nullptr;  // the window
    QAction* pageSetup = nullptr;
    QAction* print = nullptr;
    QAction* quit = nullptr;  // the shell
    // Edit
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
    QAction* duplicateMarkup = nullptr;
    QAction* deleteMarkup = nullptr;
    QAction* selectAll = nullptr;
    QAction* find = nullptr;  // the window, and the next two
    QAction* findNext = nullptr;
    QAction* findPrevious = nullptr;
    // View (the window, except the comment text and the language)
    QAction* thumbnails = nullptr;
    QAction* commentText = nullptr;
    QAction* zoomIn = nullptr;  // Ctrl++ and Ctrl+=
    QAction* zoomOut = nullptr;
    QAction* actualSize = nullptr;
    QAction* fitWidth = nullptr;
    QAction* goToPage = nullptr;
    QAction* nextPage = nullptr;
    QAction* previousPage = nullptr;
    QAction* fullScreen = nullptr;
    QMenu* language = nullptr;  // the shell fills it
    // Tools: data = the tool's index in Tool order, in toolbarTools order,
    // titled with the tool's name, its symbol and its key; then New
    // Signature…, then the marks for the selected text in TextMarkupKind
    // order (Highlight, Underline, Strike Out, Squiggly).
    std::array<QAction*, 9> tools{};
    QAction* newSignature = nullptr;
    std::array<QAction*, 4> markText{};
    // Window (the window)
    QAction* minimize = nullptr;
    QAction* zoomWindow = nullptr;
    QAction* bringAllToFront = nullptr;
    // Help
    QAction* shortcuts = nullptr;  // the window
    QAction* about = nullptr;      // the shell
};

}  // namespace quillet

class QWidget;

namespace quillet {

// Creates every action on `owner` (added to it, so the keys work while the
// menu bar is hidden, e.g. in full screen), titled in the interface language,
// with its shortcut; the ones nobody has connected yet are disabled.
WindowActions createWindowActions(QWidget& owner);

}  // namespace quillet
