#include "app/platform/DefaultsStore.h"

#include <QtGlobal>

namespace quillet {

namespace {

struct SharedStore {
    DefaultsStore::Kind kind;
    std::unique_ptr<QSettings> settings;
};

SharedStore& sharedStore() {
    static SharedStore store = [] {
        const DefaultsStore::Kind kind = DefaultsStore::kindForEnvironment();
        std::unique_ptr<QSettings> settings = DefaultsStore::open(kind);
        // A self-test restarted by the application itself (the language
        // switch) is the same run: what it chose must survive the restart.
        if (kind == DefaultsStore::Kind::selfTest &&
            !qEnvironmentVariableIsSet(DefaultsStore::selfTestContinuedVariable)) {
            // Written with the launch's own record (SessionGuard::recordLaunch).
            settings->clear();
        }
        return SharedStore{kind, std::move(settings)};
    }();
    return store;
}

}  // namespace

DefaultsStore::Kind DefaultsStore::kindForEnvironment() {
    return qEnvironmentVariableIsSet(selfTestVariable) ? Kind::selfTest : Kind::user;
}

QSettings& DefaultsStore::shared() {
    return *sharedStore().settings;
}

DefaultsStore::Kind DefaultsStore::sharedKind() {
    return sharedStore().kind;
}

std::unique_ptr<QSettings> DefaultsStore::open(Kind kind) {
    const char* name = kind == Kind::selfTest ? selfTestStoreName : userStoreName;
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromLatin1(name));
}

}  // namespace quillet
