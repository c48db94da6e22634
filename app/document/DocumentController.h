// The open documents of the application: one InkDocument per file (opening
// a file that is open gives its document back, so its window is raised),
// the folder the Open panel starts in, the recent files (kept in the
// defaults store, with "Clear Menu"), and quitting, which gives every
// document its close flow in turn. No widgets: windows and menus are built
// on top, by the shell.
#pragma once

#include <QObject>
#include <QSettings>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "app/document/InkDocument.h"

namespace quillet {

class DocumentController : public QObject {
    Q_OBJECT

  public:
    static constexpr char recentFilesKey[] = "QuilletRecentFiles";
    static constexpr int recentFilesLimit = 10;

    // `store`: the defaults store (recent files); `services`: what each new
    // document gets.
    DocumentController(QSettings& store, std::function<InkDocument::Services()> services,
                       QObject* parent = nullptr);
    ~DocumentController() override;

    // The document of `path` (symbolic links resolved): the open one, or a
    // newly opened one (then documentOpened is emitted and the file becomes
    // the most recent). Throws DocumentLoaderError.
    InkDocument* open(const QString& path);
    InkDocument* documentFor(const QString& path) const;
    std::vector<InkDocument*> documents() const;

    // The Open panel starts in the current document's folder, else in the
    // most recent file's, else in the home folder.
    QString openPanelFolder(const InkDocument* current) const;

    // Most recent first; files that no longer exist are left out.
    QStringList recentFiles() const;
    void clearRecentFiles();

    // Closes the document for good and forgets it (documentClosed, then it
    // is deleted later). Callers have run its prepareToClose first.
    void close(InkDocument* document);

    // Quit: runs each document's close flow in turn. `done(nullptr, {})`
    // when all may close; otherwise the document whose save failed and why
    // (the caller asks "Close Anyway" or "Cancel", and asks again).
    void prepareToQuit(std::function<void(InkDocument* failed, const QString& reason)> done);

  signals:
    void documentOpened(InkDocument* document);
    void documentClosed(InkDocument* document);
    void recentFilesChanged();

  private:
    void noteRecent(const QString& path);
    void prepareNext(size_t index, std::function<void(InkDocument*, const QString&)> done);

    QSettings& store_;
    std::function<InkDocument::Services()> services_;
    std::vector<std::unique_ptr<InkDocument>> documents_;
};

}  // namespace quillet
