#include "app/ui/DocumentWindowController.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>

#include "app/ui/FindController.h"
#include "app/ui/MainMenu.h"
#include "app/ui/ThumbnailView.h"
#include "app/ui/UiTestSupport.h"
#include "app/ui/ViewStates.h"
#include "app/view/PageView.h"
#include "support/ForwardingPDFDocument.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

// Renders like the engine it wraps, only slowly, the way a heavy page does.
class SlowPDFDocument : public testing::ForwardingPDFDocument {
  public:
    SlowPDFDocument(std::shared_ptr<PDFDocument> inner, std::chrono::milliseconds delay)
        : ForwardingPDFDocument(std::move(inner)), delay_(delay) {}
    QImage renderPage(int i, double scale, const QSet<QString>& hidden) override {
        std::this_thread::sleep_for(delay_);
        ++renders;
        return ForwardingPDFDocument::renderPage(i, scale, hidden);
    }

    std::atomic<int> renders{0};

  private:
    std::chrono::milliseconds delay_;
};

class DocumentWindowControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::testApplication();
        InterfaceLanguage::fix(Language::en);
        testing::writeFile(dir.file("three.pdf"), testing::simpleDocument(3));
    }

    QString path(const char* name) const { return testing::qpath(dir.file(name)); }

    // A shown window; deleted by the test's end unless it closed itself.
    QPointer<DocumentWindowController> show(OpenedPDF document, WindowSettings settings = {}) {
        auto* window = new DocumentWindowController(std::move(document), std::move(settings));
        window->show();
        owned.append(window);
        return window;
    }

    // A window on the three-page fixture whose renders each take 1.5 s.
    std::pair<QPointer<DocumentWindowController>, std::shared_ptr<SlowPDFDocument>> showSlow() {
        OpenedPDF document = OpenedPDF::open(path("three.pdf"));
        auto slow = std::make_shared<SlowPDFDocument>(document.pdf, 1500ms);
        document.pdf = slow;
        return {show(std::move(document)), slow};
    }

    void TearDown() override {
        for (const QPointer<DocumentWindowController>& w : owned) {
            delete w.data();
        }
    }

    static bool pageRendered(DocumentWindowController& window, int page) {
        PageView* view = window.pageView();
        const double pixelScale = view->scale() * view->viewport()->devicePixelRatioF();
        return !view->renderer()->cachedImage(page, pixelScale).isNull();
    }

    testing::TempDir dir;
    QList<QPointer<DocumentWindowController>> owned;
};

TEST_F(DocumentWindowControllerTest, ShowsTheFirstPageWithItsTextAndZooms) {
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("three.pdf")));
    PageView* view = window->pageView();
    int shownSignals = 0;
    bool renderedWhenShown = false;
    QObject::connect(window, &DocumentWindowController::firstPageShown, [&] {
        ++shownSignals;
        renderedWhenShown = pageRendered(*window, 0);
    });
    ASSERT_EQ(view->pageCount(), 3);
    EXPECT_EQ(view->currentPage(), 0);
    EXPECT_EQ(window->subtitle(), "Page 1 of 3");
    EXPECT_TRUE(view->autoScales());
    ASSERT_TRUE(testing::pumpUntil([&] { return shownSignals > 0; }));
    EXPECT_TRUE(renderedWhenShown) << "announced before the page's image was painted";
    testing::pumpFor(50ms);

    // The page's top band holds "page 1" in black on white paper.
    const QImage shot = view->viewport()->grab().toImage();
    const QRect page = view->pageRectInViewport(0).toAlignedRect();
    const QRect textBand(page.left(), page.top(), page.width() / 2, page.height() / 5);
    EXPECT_GT(testing::pixelsWhere(shot, testing::isWhite, textBand),
              textBand.width() * textBand.height() / 2);
    const auto dark = [](const QColor& c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; };
    EXPECT_GT(testing::pixelsWhere(shot, dark, textBand), 50) << "no text drawn on the page";

    const double fitted = view->scale();
    view->zoomIn();
    EXPECT_FALSE(view->autoScales());
    EXPECT_NEAR(view->scale(), fitted * PageView::zoomStep, 1e-9);
    EXPECT_NEAR(view->pageRectInViewport(0).width(), 612 * fitted * PageView::zoomStep, 1e-6);
    ASSERT_TRUE(testing::pumpUntil([&] { return pageRendered(*window, 0); }));
    testing::pumpFor(50ms);
    EXPECT_EQ(shownSignals, 1) << "the first page is announced once";
}

// The longest wait between the ticks of a 10 ms timer on the main thread
// while it runs: how long the interface was unresponsive at worst.
struct EventLoopGaps {
    EventLoopGaps() {
        clock.start();
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
            ++ticks;
        });
        timer.start();
    }
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0, longest = 0;
    int ticks = 0;
};

TEST_F(DocumentWindowControllerTest, ASlowRendererNeverBlocksTheEventLoop) {
    auto [window, slow] = showSlow();
    EventLoopGaps gaps;
    // Zooming and scrolling while the first renders are still under way.
    QTimer::singleShot(100, window, [&] { window->pageView()->zoomIn(); });
    QTimer::singleShot(250, window, [&] { window->pageView()->goToNextPage(); });
    ASSERT_TRUE(testing::pumpUntil([&] { return slow->renders >= 2; }, 20s));
    gaps.timer.stop();

    EXPECT_GT(gaps.ticks, 20);
    // A render blocking the loop would stall it for 1.5 s at least.
    EXPECT_LT(gaps.longest, 1000) << "the event loop stalled for " << gaps.longest << " ms";
    // What is on screen now arrives as well.
    EXPECT_TRUE(
        testing::pumpUntil([&] { return pageRendered(*window, window->pageView()->currentPage()); }, 20s));
}

TEST_F(DocumentWindowControllerTest, SearchingAThousandPagesNeverBlocksTheInterface) {
    testing::writeFile(dir.file("thousand.pdf"), testing::simpleDocument(1000));
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("thousand.pdf")));
    ASSERT_EQ(window->pageView()->pageCount(), 1000);
    testing::pumpFor(200ms);  // the window settled
    FindController& finder = window->finder();
    EventLoopGaps gaps;
    window->searchField()->setText(QStringLiteral("page"));
    testing::pressKey(window->searchField(), Qt::Key_Return);
    ASSERT_TRUE(finder.isSearching());
    ASSERT_TRUE(testing::pumpUntil([&] { return !finder.isSearching(); }, 120s));
    gaps.timer.stop();
    const qint64 searched = gaps.clock.elapsed();

    EXPECT_EQ(finder.matches().size(), 1000u) << "every page's match arrived";
    EXPECT_EQ(window->pageView()->findHighlightCount(), 1000);
    // The loop kept turning: a search run on the main thread would stall it
    // for about the whole search. How short the gaps are (the interface's
    // bound is 100 ms) is the window benchmark's to measure, in a Release build.
    EXPECT_LT(gaps.longest, searched / 2)
        << "the event loop stalled for " << gaps.longest << " ms of " << searched;
}

TEST_F(DocumentWindowControllerTest, FindStartsAtTheCurrentPageStepsThroughTheMatchesAndSaysWhatItFound) {
    testing::writeFile(dir.file("markup.pdf"), testing::markupFixture());
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("markup.pdf")));
    QLineEdit* field = window->searchField();
    FindController& finder = window->finder();
    auto* status = field->findChild<QLabel*>(QStringLiteral("find-status"));
    ASSERT_NE(status, nullptr);
    const auto search = [&](const char* query) {
        QTest::keyClick(window->pageView(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(field, QString::fromUtf8(query));
        QTest::keyClick(field, Qt::Key_Return);
        return testing::pumpUntil([&] { return !finder.isSearching(); });
    };
    MainMenu::install(*window, MenuActions{});
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(testing::pumpUntil([&] { return window->isActiveWindow(); }));

    // "Alpha beta" on page 1, "beta gamma Beta" on page 3: read from page 2,
    // the first match after it is current, not the one on page 1.
    window->pageView()->goToPage(1);
    ASSERT_TRUE(search("beta"));
    ASSERT_EQ(finder.matches().size(), 3u);
    EXPECT_EQ(window->pageView()->findHighlightCount(), 3);
    EXPECT_EQ(finder.currentIndex(), 1);
    EXPECT_EQ(window->pageView()->currentPage(), 2);
    EXPECT_EQ(status->text(), QStringLiteral("2 of 3"));
    EXPECT_TRUE(status->isVisible());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(status->text(), QStringLiteral("3 of 3"));
    // Find Next wraps around to the first match, Find Previous back to the last.
    window->actions().findNext->trigger();
    EXPECT_EQ(finder.currentIndex(), 0);
    EXPECT_EQ(window->pageView()->currentPage(), 0) << "the view follows the current match";
    window->actions().findPrevious->trigger();
    EXPECT_EQ(finder.currentIndex(), 2);
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(finder.currentIndex(), 1);
    // Typing another query hides the count of the old one.
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(status->text(), QString());

    // A new query searches again instead of stepping; nothing at or after
    // page 3: the search wraps to page 1.
    ASSERT_TRUE(search("alpha"));
    EXPECT_EQ(finder.matches().size(), 1u);
    EXPECT_EQ(window->pageView()->currentPage(), 0);
    EXPECT_EQ(status->text(), QStringLiteral("1 of 1"));

    ASSERT_TRUE(search("nowhere"));
    EXPECT_EQ(status->text(), QStringLiteral("Not found"));
    ASSERT_TRUE(search("beta"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(status->isVisible());
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(finder.matches().empty());
    EXPECT_EQ(window->pageView()->findHighlightCount(), 0);
    EXPECT_FALSE(window->actions().findNext->isEnabled());
}

TEST_F(DocumentWindowControllerTest, AWindowOpenedAfterAFramedOneIsSizedForItsFrameBeforeItShows) {
    QPointer<DocumentWindowController> first = show(OpenedPDF::open(path("three.pdf")));
    const QRect available = first->screen()->availableGeometry();
    ASSERT_TRUE(testing::pumpUntil([&] { return available.contains(first->frameGeometry()); }));
    const QSize frame = first->frameGeometry().size() - first->size();
    ASSERT_FALSE(frame.isNull()) << "the platform gave the window no frame";

    // Not shown yet: were it sized to the free area alone, it would be fitted
    // (and its pages laid out again) once shown.
    auto* second = new DocumentWindowController(OpenedPDF::open(path("three.pdf")));
    owned.append(second);
    EXPECT_LE(second->width() + frame.width(), available.width());
    EXPECT_LE(second->height() + frame.height(), available.height());
}

TEST_F(DocumentWindowControllerTest, ACollapsedSidebarShowsAgainAtItsNarrowestWidth) {
    auto store = testing::settingsIn(dir.file("defaults.ini"));
    QPointer<DocumentWindowController> window =
        show(OpenedPDF::open(path("three.pdf")), {store.get(), false, {}});
    EXPECT_FALSE(window->thumbnailsShown());  // absent key: hidden
    window->toggleThumbnails();
    ASSERT_TRUE(window->thumbnailsShown());
    EXPECT_EQ(window->splitter()->sizes().value(0), DocumentWindowController::initialSidebarWidth);
    EXPECT_TRUE(store->value(DocumentWindowController::showThumbnailsKey).toBool());
    ASSERT_TRUE(testing::pumpUntil([&] { return window->thumbnails()->hasThumbnail(0); }));

    // Hidden and shown again: the width it had.
    window->splitter()->setSizes({250, 800});
    window->toggleThumbnails();
    EXPECT_FALSE(window->thumbnailsShown());
    EXPECT_FALSE(store->value(DocumentWindowController::showThumbnailsKey).toBool());
    window->toggleThumbnails();
    EXPECT_EQ(window->splitter()->sizes().value(0), 250);

    // Dragged shut: the next toggle brings it back at 120.
    window->splitter()->setSizes({0, 1080});
    EXPECT_FALSE(window->thumbnailsShown());
    window->toggleThumbnails();
    EXPECT_TRUE(window->thumbnailsShown());
    EXPECT_EQ(window->splitter()->sizes().value(0), DocumentWindowController::minSidebarWidth);
    // Resizing the window leaves the sidebar's width alone.
    window->resize(1300, 820);
    testing::pumpFor(20ms);
    EXPECT_EQ(window->splitter()->sizes().value(0), DocumentWindowController::minSidebarWidth);
}

TEST_F(DocumentWindowControllerTest, ReopensWhereTheFileWasLeft) {
    testing::writeFile(dir.file("forty.pdf"), testing::simpleDocument(40));
    auto store = testing::settingsIn(dir.file("defaults.ini"));
    const WindowSettings settings{store.get(), false, [] { return qint64(1234); }};
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("forty.pdf")), settings);
    ASSERT_TRUE(testing::pumpUntil([&] { return window->pageView()->pageCount() == 40; }));
    testing::pumpFor(20ms);
    window->pageView()->setScale(1.5);
    window->pageView()->goToPage(12);
    window->close();
    const std::optional<ViewState> saved = ViewStates(*store).load(path("forty.pdf"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->page, 12);
    EXPECT_EQ(saved->scale, 1.5);
    EXPECT_EQ(saved->autoScales, 0);
    EXPECT_EQ(saved->time, 1234);

    // Reopened at a saved state: see TheFirstPageIsAskedForBeforeTheWindowShows….
    // A scale of 25 is ignored, the page still restored.
    ViewStates(*store).save(path("forty.pdf"), ViewState{30, 25, 0, 1});
    window = show(OpenedPDF::open(path("forty.pdf")), settings);
    ASSERT_TRUE(testing::pumpUntil([&] { return window->pageView()->currentPage() == 30; }));
    EXPECT_TRUE(window->pageView()->autoScales());
}

TEST_F(DocumentWindowControllerTest, TheFirstPageIsAskedForBeforeTheWindowShowsAtTheScaleItShows) {
    auto store = testing::settingsIn(dir.file("defaults.ini"));
    const WindowSettings settings{store.get(), false, {}};
    {
        // Remembered within the screen: a window whose frame leaves the screen
        // is fitted once mapped, and its pages follow the new size.
        QWidget remembered;
        remembered.setGeometry(40, 30, 560, 400);
        store->setValue(DocumentWindowController::windowGeometryKey, remembered.saveGeometry());
    }
    const auto construct = [&](const char* name) {
        OpenedPDF document = OpenedPDF::open(path(name));
        document.pdf = std::make_shared<SlowPDFDocument>(document.pdf, 1500ms);
        owned.append(new DocumentWindowController(std::move(document), settings));
        return owned.last();
    };
    for (const bool thumbnails : {false, true}) {
        SCOPED_TRACE(thumbnails);
        store->setValue(DocumentWindowController::showThumbnailsKey, thumbnails);
        QPointer<DocumentWindowController> window = construct("three.pdf");
        const double asked = window->pageView()->scale();
        EXPECT_GE(window->pageView()->renderer()->pendingCount(), 1);  // page 1 is rendering
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->pageView()->scale(), asked);
    }

    // A window that reopens maximized asks once the window manager sized it.
    {
        QPointer<DocumentWindowController> maximized = construct("three.pdf");
        maximized->showMaximized();
        store->setValue(DocumentWindowController::windowGeometryKey, maximized->saveGeometry());
    }
    QPointer<DocumentWindowController> reopened = construct("three.pdf");
    ASSERT_TRUE(reopened->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(reopened->pageView()->renderer()->pendingCount(), 0);

    // A file left at page 13 and 150 %: that page and scale are asked for.
    testing::writeFile(dir.file("forty.pdf"), testing::simpleDocument(40));
    ViewStates(*store).save(path("forty.pdf"), ViewState{12, 1.5, 0, 1});
    QPointer<DocumentWindowController> window = construct("forty.pdf");
    EXPECT_EQ(window->pageView()->currentPage(), 12);
    EXPECT_EQ(window->pageView()->scale(), 1.5);
    EXPECT_FALSE(window->pageView()->autoScales());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    testing::pumpFor(20ms);
    EXPECT_EQ(window->pageView()->currentPage(), 12);
}

TEST_F(DocumentWindowControllerTest, MenuKeysAndStatusLine) {
    QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("three.pdf")));
    MainMenu::install(*window, MenuActions{});
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(testing::pumpUntil([&] { return window->isActiveWindow(); }));
    const double fitted = window->pageView()->scale();
    // Ctrl+= zooms in as Ctrl++ does, though only Ctrl++ is shown in the menu.
    QTest::keyClick(window->pageView(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_NEAR(window->pageView()->scale(), fitted * PageView::zoomStep, 1e-9);
    const double perPoint = window->pageView()->logicalDpiY() / 72.0;
    EXPECT_EQ(window->zoomText(),
              QString::number(qRound(fitted * PageView::zoomStep / perPoint * 100)) + "%");
    // Actual Size is the physical size: an inch of the page an inch of the screen.
    QTest::keyClick(window->pageView(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(window->pageView()->scale(), perPoint);
    EXPECT_EQ(window->zoomText(), "100%");
    EXPECT_EQ(window->actions().zoomIn->shortcuts().value(0), QKeySequence(Qt::CTRL | Qt::Key_Plus));

    // A page number typed into the status line.
    window->pageField()->setText(QStringLiteral("3"));
    testing::pressKey(window->pageField(), Qt::Key_Return);
    EXPECT_EQ(window->pageView()->currentPage(), 2);
    // The commands other parts own wait for them, disabled.
    EXPECT_FALSE(window->actions().save->isEnabled());
    EXPECT_TRUE(window->actions().goToPage->isEnabled());
}

TEST_F(DocumentWindowControllerTest, LockedDocumentsAskSideBySideWithoutBlocking) {
    testing::encryptedCopy(dir.file("three.pdf"), dir.file("a.pdf"), "pw-a");
    testing::encryptedCopy(dir.file("three.pdf"), dir.file("b.pdf"), "pw-b");
    struct Pending {
        QString text;
        PasswordAnswer answer;
    };
    std::vector<Pending> asked;
    auto prompt = [&](const QString& text, PasswordAnswer answer) {
        asked.push_back({text, std::move(answer)});
    };
    QPointer<DocumentWindowController> a = show(OpenedPDF::open(path("a.pdf")));
    QPointer<DocumentWindowController> b = show(OpenedPDF::open(path("b.pdf")));
    a->setAsyncPasswordPrompt(prompt);
    b->setAsyncPasswordPrompt(prompt);
    // Both prompts are up at once: neither waits for the other.
    ASSERT_TRUE(testing::pumpUntil([&] { return asked.size() == 2; }));
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("“a.pdf”"))) << "the prompt names its file";
    EXPECT_EQ(a->subtitle(), QString());

    std::exchange(asked[1].answer, nullptr)(QStringLiteral("pw-b"));
    EXPECT_EQ(b->pageView()->pageCount(), 3);
    std::exchange(asked[0].answer, nullptr)(QStringLiteral("wrong"));
    ASSERT_TRUE(testing::pumpUntil([&] { return asked.size() == 3; }));
    EXPECT_NE(asked[2].text, asked[0].text) << "the next prompt says the password was wrong";
    std::exchange(asked[2].answer, nullptr)(std::nullopt);
    EXPECT_TRUE(a.isNull() || !a->isVisible());  // cancelled: the window closes

    // Self-test mode unlocks with QUILLET_SELFTEST_PASSWORD, without a prompt.
    qputenv(DocumentWindowController::selfTestPasswordVariable, "pw-a");
    QPointer<DocumentWindowController> c = show(OpenedPDF::open(path("a.pdf")), {nullptr, true, {}});
    c->setAsyncPasswordPrompt(prompt);
    ASSERT_TRUE(testing::pumpUntil([&] { return c->pageView()->pageCount() == 3; }));
    qunsetenv(DocumentWindowController::selfTestPasswordVariable);
    EXPECT_EQ(asked.size(), 3u);
}

// A drag of `files` entering the window and, when it is taken, dropped there;
// whether the window took it.
bool dropOn(DocumentWindowController& window, const QStringList& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls.append(QUrl::fromLocalFile(file));
    }
    mime.setUrls(urls);
    const QPoint centre = window.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

TEST_F(DocumentWindowControllerTest, DroppedFilesOpenWhenTheyHoldAPDFWhateverTheirNames) {
    const QPointer<DocumentWindowController> window = show(OpenedPDF::open(path("three.pdf")));
    const std::string pdf = testing::simpleDocument(1);
    testing::writeFile(dir.file("scan"), pdf);                                // no extension
    testing::writeFile(dir.file("mail.bin"), std::string(1000, '\n') + pdf);  // a header some mailers leave
    testing::writeFile(dir.file("notes.pdf"), "Notes, not a PDF");
    testing::writeFile(dir.file("late.pdf"), std::string(1100, ' ') + pdf);  // too far in for the reader
    QSignalSpy opened(window.data(), &DocumentWindowController::openFilesRequested);

    EXPECT_FALSE(dropOn(*window, {path("notes.pdf"), path("late.pdf"), path("missing.pdf")}));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(dropOn(*window, {path("notes.pdf"), path("scan"), path("mail.bin")}));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front().front().toStringList(), (QStringList{path("scan"), path("mail.bin")}));
}

}  // namespace
}  // namespace quillet
