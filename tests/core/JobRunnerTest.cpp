// The job runner: results in the order the jobs were submitted, cancelled
// jobs silent, failures carried back to their handler.
#include "core/JobRunner.h"

#include "core/Errors.h"
#include "tests/support/ErrorText.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Stop = JobRunner::StopFlag;

// A job that runs until released or stopped, so a test controls when it ends.
struct Gate {
    std::atomic<bool> started{false}, release{false}, sawStop{false};
    JobRunner::Work work(QStringList& delivered, const QString& name)
    {
        return [this, &delivered, name](const Stop& stop) -> JobRunner::Delivery {
            started = true;
            while (!release && !stop)
                std::this_thread::yield();
            sawStop = bool(stop);
            return [&delivered, name] { delivered << name; };
        };
    }
};

JobRunner::Work quick(QStringList& delivered, const QString& name, std::atomic<int>* ran = nullptr)
{
    return [&delivered, name, ran](const Stop&) -> JobRunner::Delivery {
        if (ran)
            ++*ran;
        return [&delivered, name] { delivered << name; };
    };
}

JobRunner::Failure noted(QStringList& log)
{
    return [&log](const std::exception_ptr& e) { log << "failed: " + failureText(e); };
}

// Results and failures alike reach their handlers in the order the jobs
// were submitted, whatever the order of finishing: the front job holds
// back those finished behind it until it ends, or is cancelled and stops.
class FrontJob : public ::testing::TestWithParam<bool> {};

TEST_P(FrontJob, HoldsBackTheFinishedOnesUntilItEndsOrIsCancelled)
{
    const bool cancelled = GetParam();
    JobRunner runner(2);
    QStringList log;
    Gate slow;
    const JobRunner::Ticket front = runner.submit(slow.work(log, "first"), noted(log));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(slow.started); }, 10000));
    runner.submit([](const Stop&) -> JobRunner::Delivery { throw AppError("JPEG error #42"); }, noted(log));
    runner.submit([](const Stop&) -> JobRunner::Delivery { throw std::bad_alloc(); }, noted(log));
    runner.submit(quick(log, "done"), noted(log));
    QTest::qWait(50); // the others are done and wait for the first
    EXPECT_TRUE(log.isEmpty());
    if (cancelled)
        runner.cancel(front);
    else
        slow.release = true;
    QStringList expected{"failed: JPEG error #42", "failed: std::bad_alloc", "done"};
    if (!cancelled)
        expected.prepend("first");
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.size() == expected.size(); }, 10000));
    EXPECT_EQ(log, expected);
    runner.waitForIdle();
    EXPECT_EQ(bool(slow.sawStop), cancelled);
}

INSTANTIATE_TEST_SUITE_P(Ends, FrontJob, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Cancelled" : "Released"; });

// An owner off the event loop: waitFor hands over the job and every one
// before it, in order, on the caller's thread; a failure with no handler
// comes out of waitFor, and the jobs behind it still arrive.
TEST(JobRunner, WaitForDeliversHereInOrderAndRethrowsAnUnhandledFailure)
{
    JobRunner runner(2);
    QStringList delivered;
    runner.submit(
        [&delivered](const Stop&) -> JobRunner::Delivery {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return [&delivered] { delivered << "slow"; };
        },
        noted(delivered));
    const JobRunner::Ticket quickOne = runner.submit(quick(delivered, "quick"), noted(delivered));
    const JobRunner::Ticket failing =
        runner.submit([](const Stop&) -> JobRunner::Delivery { throw AppError("JPEG error #42"); }, {});
    const JobRunner::Ticket last = runner.submit(quick(delivered, "last"), noted(delivered));
    runner.waitFor(quickOne);
    EXPECT_EQ(delivered, QStringList({"slow", "quick"}));
    EXPECT_EQ(errorText([&] { runner.waitFor(failing); }), "JPEG error #42");
    runner.waitFor(last);
    EXPECT_EQ(delivered, QStringList({"slow", "quick", "last"}));
}

// Stop raises the running job's flag; Finish lets it complete. Either way
// it delivers nothing, the job waiting behind it never runs, and a later
// job still delivers.
class JobCancel : public ::testing::TestWithParam<JobRunner::Running> {};

TEST_P(JobCancel, ASilencedJobDeliversNothingAndAWaitingOneNeverRuns)
{
    JobRunner runner(1);
    QStringList delivered;
    std::atomic<int> waitingRan{0};
    Gate running;
    runner.submit(running.work(delivered, "running"), noted(delivered));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(running.started); }, 10000));
    runner.submit(quick(delivered, "waiting", &waitingRan), noted(delivered));
    runner.cancelAll(GetParam());
    runner.submit(quick(delivered, "newest"), noted(delivered));
    running.release = true;
    runner.waitForIdle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !delivered.isEmpty(); }, 10000));
    QTest::qWait(20);
    EXPECT_EQ(delivered, QStringList({"newest"}));
    EXPECT_EQ(waitingRan, 0);
    EXPECT_EQ(bool(running.sawStop), GetParam() == JobRunner::Running::Stop);
}

INSTANTIATE_TEST_SUITE_P(Modes, JobCancel, ::testing::Values(JobRunner::Running::Stop, JobRunner::Running::Finish),
                         [](const auto& info) { return info.param == JobRunner::Running::Stop ? "Stop" : "Finish"; });

TEST(JobRunner, EndingTheRunnerStopsItsWorkAndDeliversNothing)
{
    QStringList delivered;
    Gate running;
    {
        JobRunner runner(1);
        runner.submit(running.work(delivered, "running"), noted(delivered));
        ASSERT_TRUE(QTest::qWaitFor([&] { return bool(running.started); }, 10000));
        runner.submit(quick(delivered, "waiting"), noted(delivered));
    }
    QTest::qWait(20);
    EXPECT_TRUE(running.sawStop);
    EXPECT_TRUE(delivered.isEmpty());
}

} // namespace
