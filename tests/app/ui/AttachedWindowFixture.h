// A document in a real window with its attachment: the window's actions,
// keys and popover reach the document as a user's do.
#pragma once

#include <QPointer>
#include <cstdlib>
#include <memory>

#include "app/document/InkDocumentSupport.h"
#include "app/platform/DefaultsStore.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"

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

    std::unique_ptr<InkDocument> document;
    QPointer<DocumentWindowController> window;
    DocumentAttachment* attachment = nullptr;
};

}  // namespace quillet::testing
