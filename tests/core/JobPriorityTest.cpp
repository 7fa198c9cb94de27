// A runner told to run below normal priority gives its workers a higher
// nice value than the thread that owns it; others keep the owner's.
#include "core/JobRunner.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

namespace {

int threadNice()
{
    return getpriority(PRIO_PROCESS, id_t(gettid()));
}

int niceOfAJob(bool belowNormal)
{
    JobRunner runner(2);
    if (belowNormal)
        runner.runBelowNormalPriority();
    std::atomic<int> seen{-100};
    const JobRunner::Ticket ticket = runner.submit(
        [&seen](const JobRunner::StopFlag&) -> JobRunner::Delivery {
            seen = threadNice();
            return {};
        },
        {});
    runner.waitFor(ticket);
    return seen;
}

} // namespace

TEST(JobPriority, OnlyABelowNormalRunnerLowersItsWorkers)
{
    const int own = threadNice();
    if (own >= 19)
        GTEST_SKIP() << "already at the lowest priority";
    EXPECT_EQ(niceOfAJob(false), own);
    EXPECT_GT(niceOfAJob(true), own);
    EXPECT_EQ(threadNice(), own) << "the owner's thread was lowered too";
}
