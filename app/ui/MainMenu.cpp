#include "app/ui/MainMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

#include "app/ui/DocumentWindowController.h"
#include "app/ui/PageView.h"
#include "app/ui/Strings.h"

namespace quillet::MainMenu {

namespace {

constexpr char languageMenuName[] = "QuilletLanguageMenu";

void addLanguageItems(QMenu& menu, const MenuActions& actions)
{
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    const std::pair<const LocalizedString*, const char*> items[] = {
        {&Strings::systemDefaultItem, ""},
        {&Strings::englishItem, "en"},
        {&Strings::russianItem, "ru"},
    };
    for (const auto& [title, code] : items) {
        QAction* action = menu.addAction(title->text());
        action->setCheckable(true);
        action->setData(QString::fromLatin1(code));
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &menu,
                         [select = actions.selectLanguage, code = QString::fromLatin1(code)] { select(code); });
    }
    // Another window may have changed the choice since this menu was built.
    QObject::connect(&menu, &QMenu::aboutToShow, &menu,
                     [&menu, checked = actions.checkedLanguage] { refreshLanguageChecks(menu, checked()); });
    refreshLanguageChecks(menu, actions.checkedLanguage());
}

void addFileMenu(QMenuBar& bar, DocumentWindowController& window, const MenuActions& actions)
{
    QMenu* file = bar.addMenu(Strings::fileMenu.text());
    file->addAction(Strings::openItem.text(), QKeySequence::Open, &window, [open = actions.open] { open(); });
    file->addAction(Strings::closeItem.text(), QKeySequence(Qt::CTRL | Qt::Key_W), &window, &QWidget::close);
    file->addSeparator();
    QMenu* language = file->addMenu(Strings::languageMenu.text());
    language->setObjectName(QString::fromLatin1(languageMenuName));
    addLanguageItems(*language, actions);
    file->addSeparator();
    QAction* quit = file->addAction(quitTitle(), QKeySequence(Qt::CTRL | Qt::Key_Q), &window,
                                    [quitApp = actions.quit] { quitApp(); });
    quit->setMenuRole(QAction::QuitRole);
}

void addViewMenu(QMenuBar& bar, DocumentWindowController& window)
{
    PageView* view = window.pageView();
    QMenu* menu = bar.addMenu(Strings::viewMenu.text());
    QAction* zoomIn = menu->addAction(Strings::zoomInItem.text(), view, &PageView::zoomIn);
    // Ctrl+= zooms in too, so the key works without Shift on most layouts.
    zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    menu->addAction(Strings::zoomOutItem.text(), QKeySequence(Qt::CTRL | Qt::Key_Minus), view, &PageView::zoomOut);
    menu->addAction(Strings::actualSizeItem.text(), QKeySequence(Qt::CTRL | Qt::Key_0), view,
                    &PageView::actualSize);
    menu->addAction(Strings::fitWidthItem.text(), QKeySequence(Qt::CTRL | Qt::Key_9), view, &PageView::fitWidth);
    menu->addSeparator();
    menu->addAction(Strings::nextPageItem.text(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Down), view,
                    &PageView::goToNextPage);
    menu->addAction(Strings::previousPageItem.text(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Up), view,
                    &PageView::goToPreviousPage);
}

}  // namespace

void install(DocumentWindowController& window, const MenuActions& actions)
{
    QMenuBar* bar = window.menuBar();
    addFileMenu(*bar, window, actions);
    addViewMenu(*bar, window);
    QMenu* help = bar->addMenu(Strings::helpMenu.text());
    QAction* about = help->addAction(aboutTitle(), &window, [showAbout = actions.about] { showAbout(); });
    about->setMenuRole(QAction::AboutRole);
}

QMenu* languageMenu(QMenuBar* menuBar)
{
    return menuBar->findChild<QMenu*>(QString::fromLatin1(languageMenuName));
}

void refreshLanguageChecks(QMenu& menu, const QString& checkedCode)
{
    for (QAction* action : menu.actions()) {
        if (action->isCheckable()) {
            action->setChecked(action->data().toString() == checkedCode);
        }
    }
}

QString aboutTitle()
{
    return Strings::aboutPrefix.text() + Strings::displayName.text() + Strings::namedItemSuffix.text();
}

QString quitTitle()
{
    return Strings::quitPrefix.text() + Strings::displayName.text() + Strings::namedItemSuffix.text();
}

}  // namespace quillet::MainMenu
