// Application-wide notifications by name ("QuilletToolSettingsDidChange", ...).
// Observers are called on the main thread; a post on the main thread reaches
// every observer before post() returns, a post from another thread is queued
// to the main thread.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

namespace quillet {

namespace NotificationName {
inline constexpr char toolSettingsDidChange[] = "QuilletToolSettingsDidChange";
inline constexpr char signaturesDidChange[] = "QuilletSignaturesDidChange";
inline constexpr char commentsDisplayDidChange[] = "QuilletCommentsDisplayDidChange";
}  // namespace NotificationName

class NotificationCenter : public QObject {
    Q_OBJECT

  public:
    // Every name starts with this; other names are refused with a log line.
    static constexpr char namePrefix[] = "Quillet";

    static NotificationCenter& shared();

    void post(const QString& name, const QVariant& payload = {});

    // Calls `handler` for every post of `name` while `context` (a main-thread
    // object) lives. Disconnect the returned connection to stop earlier.
    QMetaObject::Connection observe(const QString& name, QObject* context,
                                    std::function<void(const QVariant&)> handler);

  signals:
    void posted(const QString& name, const QVariant& payload);

  private:
    NotificationCenter() = default;
    static bool acceptsName(const QString& name);
};

}  // namespace quillet
