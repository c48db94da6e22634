// What a harness driving the application from outside can wait on: with
// QUILLET_SELFTEST_STATUS_FILE=<path> (self-test mode only) the application
// keeps <path> up to date: "pid <the process id>", "focus <the widget with
// the keyboard, named by its nearest class of ours>", "focusclass <its own
// class>", "focusrect <x> <y> <width> <height>" (its place on the screen; the
// two absent when nothing has the keyboard) and an empty line, then one block
// per open document window:
//   window <title>
//   file <path>
//   status <the status line>
//   menus <the menu bar's titles, separated by "|">
//   menu <title> <x> <y>   (one per title: its centre on the screen)
//   find searching 0|1 matches <n> page <page of the current match, 1-based, 0: none>
//   painted <the current page, 1-based, once its picture is rendered; 0 before>
//   saving 0|1
//   unsaved 0|1
//   saves <saves finished without error since the window opened>
//   error <last save error, empty when none>
// followed by an empty line. The file is replaced whole (written beside it and
// renamed), so a reader never sees half of it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <vector>

namespace quillet {

class DocumentWindowController;
class InkDocument;

class SelfTestStatus : public QObject {
    Q_OBJECT

  public:
    static constexpr char fileVariable[] = "QUILLET_SELFTEST_STATUS_FILE";

    // The writer the environment asks for, or null.
    static SelfTestStatus* createIfRequested(QObject* parent);

    explicit SelfTestStatus(QString path, QObject* parent = nullptr);

    void watch(DocumentWindowController* window, InkDocument* document);
    // The text the file holds after the next write.
    QString text() const;
    void write();

  private:
    struct Watched {
        QPointer<DocumentWindowController> window;
        QPointer<InkDocument> document;
        bool wasSaving = false;
        int saves = 0;
    };
    void documentStatusChanged(InkDocument* document);

    QString path_;
    QString written_;
    std::vector<Watched> watched_;
    QTimer poll_;
};

}  // namespace quillet
