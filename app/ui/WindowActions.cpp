#include "app/ui/WindowActions.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "app/editor/Tool.h"
#include "app/ui/MainMenu.h"
#include "app/ui/Strings.h"
#include "app/ui/ToolIcons.h"
#include "app/ui/WindowStrings.h"

namespace quillet {

namespace {

QAction* make(QWidget& owner, const QString& title, QList<QKeySequence> keys = {}, bool enabled = true) {
    auto* action = new QAction(title, &owner);
    action->setShortcuts(keys);
    action->setEnabled(enabled);
    owner.addAction(action);
    return action;
}

QAction* make(QWidget& owner, const LocalizedString& title, QList<QKeySequence> keys = {},
              bool enabled = true) {
    return make(owner, title.text(), std::move(keys), enabled);
}

}  // namespace

WindowActions createWindowActions(QWidget& owner) {
    // Commands other parts connect start disabled.
    constexpr bool later = false;
    WindowActions a;
    a.open = make(owner, Strings::openItem, {QKeySequence::Open}, later);
    a.openRecent = new QMenu(Strings::openRecentMenu.text(), &owner);
    a.clearRecent = make(owner, Strings::clearMenuItem, {}, later);
    a.openRecent->addSeparator();
    a.openRecent->addAction(a.clearRecent);
    a.close = make(owner, Strings::closeItem, {QKeySequence(Qt::CTRL | Qt::Key_W)});
    a.save = make(owner, Strings::saveItem, {QKeySequence(Qt::CTRL | Qt::Key_S)}, later);
    a.saveAs = make(owner, Strings::saveAsItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, later);
    a.revertToSaved = make(owner, Strings::revertToSavedItem, {}, later);
    a.revertToOpened = make(owner, Strings::revertToOpenedItem, {}, later);
    a.exportFlattened =
        make(owner, Strings::exportFlattenedItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)}, later);
    a.showInFileManager = make(owner, Strings::showInFileManagerItem);
    a.pageSetup =
        make(owner, Strings::pageSetupItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)}, later);
    a.print = make(owner, Strings::printItem, {QKeySequence(Qt::CTRL | Qt::Key_P)}, later);
    a.quit = make(owner, MainMenu::quitTitle(), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, later);
    a.quit->setMenuRole(QAction::QuitRole);

    a.undo = make(owner, Strings::undoItem, {QKeySequence(Qt::CTRL | Qt::Key_Z)}, later);
    a.redo = make(owner, Strings::redoItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, later);
    a.cut = make(owner, Strings::cutItem, {QKeySequence(Qt::CTRL | Qt::Key_X)}, later);
    a.copy = make(owner, Strings::copyItem, {QKeySequence(Qt::CTRL | Qt::Key_C)}, later);
    a.paste = make(owner, Strings::pasteItem, {QKeySequence(Qt::CTRL | Qt::Key_V)}, later);
    a.duplicateMarkup =
        make(owner, Strings::duplicateMarkupItem, {QKeySequence(Qt::CTRL | Qt::Key_D)}, later);
    a.deleteMarkup = make(owner, Strings::deleteItem, {QKeySequence(Qt::Key_Delete)}, later);
    a.selectAll = make(owner, Strings::selectAllItem, {QKeySequence(Qt::CTRL | Qt::Key_A)}, later);
    a.find = make(owner, Strings::findItem, {QKeySequence(Qt::CTRL | Qt::Key_F)});
    a.findNext = make(owner, Strings::findNextItem, {QKeySequence(Qt::CTRL | Qt::Key_G)});
    a.findPrevious = make(owner, Strings::findPreviousItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)});

    a.thumbnails = make(owner, Strings::pageThumbnailsItem, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S)});
    a.thumbnails->setCheckable(true);
    a.commentText =
        make(owner, WindowStrings::hideCommentText, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C)}, later);
    // Ctrl+= is the same key as Ctrl++ without Shift on most layouts; only
    // the first shortcut is shown in the menu.
    a.zoomIn = make(owner, Strings::zoomInItem,
                    {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    a.zoomOut = make(owner, Strings::zoomOutItem, {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    a.actualSize = make(owner, Strings::actualSizeItem, {QKeySequence(Qt::CTRL | Qt::Key_0)});
    a.fitWidth = make(owner, Strings::fitWidthItem, {QKeySequence(Qt::CTRL | Qt::Key_9)});
    a.goToPage = make(owner, Strings::goToPageItem, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G)});
    // Never Ctrl+Alt+arrows: desktops take them for switching workspaces.
    a.nextPage = make(owner, Strings::nextPageItem, {QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    a.previousPage = make(owner, Strings::previousPageItem, {QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    a.fullScreen = make(owner, Strings::fullScreenItem, {QKeySequence(Qt::Key_F11)});
    a.fullScreen->setCheckable(true);
    a.language = new QMenu(Strings::languageMenu.text(), &owner);

    // Tools: plain letters, as the shortcut help lists them; tag = index.
    static constexpr char toolKeys[] = "VPHTNASEM";
    for (size_t i = 0; i < a.tools.size(); ++i) {
        const Tool tool = toolbarTools[i];
        QAction* action =
            make(owner, toolDisplayName(tool), {QKeySequence(QChar::fromLatin1(toolKeys[i]))}, later);
        action->setData(static_cast<int>(tool));
        action->setCheckable(true);
        action->setIcon(ToolIcons::icon(tool, owner.palette()));
        action->setToolTip(action->text() + QStringLiteral(" (") + QChar::fromLatin1(toolKeys[i]) +
                           QLatin1Char(')'));
        a.tools[i] = action;
    }
    a.newSignature = make(owner, Strings::newSignatureItem, {}, later);
    // Marks for the selected text; H does the first while text is selected.
    const std::pair<const LocalizedString&, QKeySequence> marks[] = {
        {Strings::highlightSelectionItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
        {Strings::underlineSelectionItem, QKeySequence(Qt::CTRL | Qt::Key_U)},
        {Strings::strikeOutSelectionItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X)},
        {Strings::squigglySelectionItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U)},
    };
    for (size_t i = 0; i < a.markText.size(); ++i) {
        a.markText[i] = make(owner, marks[i].first, {marks[i].second}, later);
        a.markText[i]->setIcon(ToolIcons::icon(toolFor(allTextMarkupKinds[i]), owner.palette()));
    }

    a.minimize = make(owner, Strings::minimizeItem, {QKeySequence(Qt::CTRL | Qt::Key_M)});
    a.zoomWindow = make(owner, Strings::maximizeItem);
    a.bringAllToFront = make(owner, Strings::bringAllToFrontItem);

    a.shortcuts = make(owner, Strings::keyboardShortcutsItem,
                       {QKeySequence(Qt::CTRL | Qt::Key_Question), QKeySequence(Qt::Key_F1)});
    a.about = make(owner, MainMenu::aboutTitle(), {}, later);
    a.about->setMenuRole(QAction::AboutRole);
    return a;
}

}  // namespace quillet
