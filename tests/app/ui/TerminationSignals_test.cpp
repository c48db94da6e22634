#include "app/ui/TerminationSignals.h"

#include <csignal>

#include <QObject>
#include <QThread>
#include <gtest/gtest.h>

#include "UiTestSupport.h"

namespace quillet {
namespace {

TEST(TerminationSignals, TermAndHangupBecomeAQuitOnTheMainThreadInsteadOfEndingTheProcess)
{
    testing::uiTestApplication();
    QObject context;
    int quits = 0;
    ASSERT_TRUE(TerminationSignals::install(&context, [&] {
        EXPECT_TRUE(QThread::currentThread() == QCoreApplication::instance()->thread());
        ++quits;
    }));
    EXPECT_FALSE(TerminationSignals::install(&context, [] {})) << "installed twice";

    std::raise(SIGTERM);
    EXPECT_TRUE(testing::pumpEventsUntil([&] { return quits == 1; }));
    std::raise(SIGHUP);
    EXPECT_TRUE(testing::pumpEventsUntil([&] { return quits == 2; }));
}

}  // namespace
}  // namespace quillet
