// A page view on the markup fixture; for the editor's tests with a store, an
// undo stack, tool settings in a temporary file and an editor on top, driven
// by synthetic Qt events at page-space points. The clock is the test's.
#pragma once

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUndoStack>
#include <chrono>
#include <memory>
#include <vector>

#include "app/document/AnnotationStore.h"
#include "app/editor/EditorController.h"
#include "app/editor/ToolSettings.h"
#include "app/view/PageView.h"
#include "core/markup/ItemCodec.h"
#include "support/QtTestSupport.h"

namespace quillet::testing {

// A shown page view on the markup fixture, every page's size in.
class MarkupViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        InterfaceLanguage::fix(Language::en);
        writeFile(dir.file("markup.pdf"), fixture());
        view = std::make_unique<PageView>();
        view->resize(700, 900);
        view->setDocument(openPDFDocument(qpath(dir.file("markup.pdf"))));
        view->show();
        view->setScale(1.0);
        // Every page's own size, read in the background, has arrived.
        ASSERT_TRUE(pumpUntil([&] {
            for (int page = 0; page < view->pageCount(); ++page) {
                if (view->pageDisplaySize(page) != view->pageGeometry(page)->displaySize()) return false;
            }
            return true;
        }));
    }
    // The document shown; the markup fixture unless a test says otherwise.
    virtual Bytes fixture() const { return markupFixture(); }
    QPointF at(int page, Point p) const { return view->toViewport(page, QPointF(p.x, p.y)); }
    void mouse(QEvent::Type type, QPointF where, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = {}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, where, view->viewport()->mapToGlobal(where), button, buttons, modifiers);
        QCoreApplication::sendEvent(view->viewport(), &event);
    }
    // Press at the first point, move through the others, release at the last.
    void drag(int page, const std::vector<Point>& path, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseButtonPress, at(page, path.front()), Qt::LeftButton, modifiers);
        for (size_t i = 1; i < path.size(); ++i) {
            mouse(QEvent::MouseMove, at(page, path[i]), Qt::LeftButton, modifiers);
        }
        mouse(QEvent::MouseButtonRelease, at(page, path.back()), Qt::NoButton, modifiers);
    }
    void click(int page, Point p, Qt::KeyboardModifiers modifiers = {}) { drag(page, {p}, modifiers); }
    void dragView(QPointF from, QPointF to) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    bool key(int qtKey, Qt::KeyboardModifiers modifiers = {}, quint32 scanCode = 0,
             const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0, text);
        event.ignore();
        QCoreApplication::sendEvent(view.get(), &event);
        return event.isAccepted();
    }

    TempDir dir;
    std::unique_ptr<PageView> view;
};

class EditorTest : public MarkupViewTest {
  protected:
    void SetUp() override {
        MarkupViewTest::SetUp();
        if (HasFatalFailure()) return;
        settingsFile = settingsIn(dir.file("settings.ini"));
        settings = std::make_unique<ToolSettings>(*settingsFile);
        store = std::make_unique<AnnotationStore>(view->pageCount(), std::make_shared<EmptyPages>());
        editor = std::make_unique<EditorController>(*view, *store, undo, *settings);
        editor->setClock([this] { return now; });
    }

    void TearDown() override {
        editor.reset();
        store.reset();
        view.reset();
    }

    const std::vector<AnnotationItem>& items(int page) { return store->itemsOnPage(page); }
    AnnotationItem insert(AnnotationItem item, int page) {
        store->apply(StoreChange::insert(item, page, static_cast<int>(items(page).size())));
        return item;
    }
    static AnnotationItem penItem(std::vector<Point> stroke, double width = 2) {
        return AnnotationItem(UUID::random(), InkShape{InkKind::pen, {std::move(stroke)}}, RGBA(0, 0, 1, 1),
                              width, 0, std::chrono::sys_seconds{std::chrono::seconds{1'600'000'000}});
    }
    std::chrono::sys_seconds stamp() const { return std::chrono::floor<std::chrono::seconds>(now); }
    static std::string json(const AnnotationItem& item) { return ItemCodec::jsonText(item); }

    std::unique_ptr<QSettings> settingsFile;
    std::unique_ptr<ToolSettings> settings;
    std::unique_ptr<AnnotationStore> store;
    QUndoStack undo;
    std::unique_ptr<EditorController> editor;
    std::chrono::system_clock::time_point now{std::chrono::seconds{1'700'000'000}};
};

}  // namespace quillet::testing
