// A document in a real window with its attachment: the window's actions,
// keys and popover reach the document as a user's do.
#pragma once

#include <QPointer>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "app/document/InkDocumentSupport.h"
#include "app/editor/EditorController.h"
#include "app/editor/InlineTextEditor.h"
#include "app/platform/DefaultsStore.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"
#include "app/view/PageView.h"

namespace quillet::testing {

class AttachedWindowTest : public DocumentTest {
  protected:
    void SetUp() override {
        // The popover stores the styles it sets: in the self-test store,
        // never the user's (each test runs in a process of its own).
        setenv(DefaultsStore::selfTestVariable, "1", 1);
        DocumentTest::SetUp();
        document = open();
        window = new DocumentWindowController(OpenedPDF{qpath(file), document->pdf(), std::nullopt});
        window->show();
        attachment = new DocumentAttachment(*window, *document);
    }

    void TearDown() override {
        delete window.data();
        finishWrites();
        document->close();
    }

    // The window active, its page view with the keyboard.
    void activate() {
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(pumpUntil([&] { return window->isActiveWindow(); }));
        window->pageView()->setFocus();
    }
    EditorController& editor() const { return *attachment->editor(); }
    const std::vector<AnnotationItem>& items() const { return document->store()->itemsOnPage(0); }
    // A click at a point of the first page.
    void click(QPointF pagePoint) const {
        const QPoint at = window->pageView()->pageToViewport(0).map(pagePoint).toPoint();
        QTest::mouseClick(window->pageView()->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
    // A new text box at `at` with the text tool, `text` typed into it.
    void typeNewBox(QPointF at, const QString& text) const {
        window->actions().tools[3]->trigger();
        click(at);
        ASSERT_TRUE(editor().isEditingText());
        QTest::keyClicks(&editor().textEditor(), text);
    }

    std::unique_ptr<InkDocument> document;
    QPointer<DocumentWindowController> window;
    DocumentAttachment* attachment = nullptr;
};

}  // namespace quillet::testing
