#include "app/ui/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <csignal>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(TerminationSignals, TermAndHangupBecomeAQuitOnTheMainThreadInsteadOfEndingTheProcess) {
    testing::testApplication();
    QObject context;
    int quits = 0;
    ASSERT_TRUE(TerminationSignals::install(&context, [&] {
        EXPECT_TRUE(QThread::currentThread() == QCoreApplication::instance()->thread());
        ++quits;
    }));
    EXPECT_FALSE(TerminationSignals::install(&context, [] {})) << "installed twice";

    std::raise(SIGTERM);
    EXPECT_TRUE(testing::pumpUntil([&] { return quits == 1; }));
    std::raise(SIGHUP);
    EXPECT_TRUE(testing::pumpUntil([&] { return quits == 2; }));
}

}  // namespace
}  // namespace quillet
