// Remembers where a window's file was left: the page and the zoom are put
// back once the pages can be read (after an unlock), and stored a second
// after the reader last moved, so that scrolling writes once.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

#include "app/platform/DelayedWork.h"

class QSettings;

namespace quillet {

class PageView;

class ViewStateKeeper : public QObject {
  public:
    static constexpr std::chrono::milliseconds saveDelay{1000};

    // `store` null keeps nothing; `clock` gives seconds since 1970.
    ViewStateKeeper(PageView& view, QSettings* store, std::function<qint64()> clock, QObject* parent);
    ~ViewStateKeeper() override;

    void setPath(const QString& path) { path_ = path; }
    // Once, when the pages are known.
    void restore();
    // After each move; nothing before the state was restored.
    void scheduleSave();
    void save();

  private:
    PageView& view_;
    QSettings* store_;
    std::function<qint64()> clock_;
    QString path_;
    DelayedWork pending_;
    bool restored_ = false;
};

}  // namespace quillet
