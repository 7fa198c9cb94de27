// The render worker: one job at a time, a newer job replaces the waiting
// one, and only the newest job's result reaches the owner.
#include "effects/RenderWorker.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

#include <mutex>

namespace {
struct Log {
    std::mutex m;
    QStringList ran;
    void add(const QString& s)
    {
        std::lock_guard lock(m);
        ran << s;
    }
};
} // namespace

// Finish: the running job completes; Stop: it is asked to end. Either way
// the job waiting behind it is replaced and only the newest delivers.
class RenderWorkerTest : public ::testing::TestWithParam<RenderWorker::Running> {};

TEST_P(RenderWorkerTest, TheNewestJobAloneDelivers)
{
    RenderWorker worker;
    Log log;
    QStringList delivered;
    std::atomic<bool> started{false}, release{false}, sawStop{false};
    auto job = [&](const QString& name) {
        return [&, name](const std::atomic<bool>&) -> RenderWorker::Delivery {
            log.add(name);
            return [&, name] { delivered << name; };
        };
    };
    worker.submit([&](const std::atomic<bool>& stop) -> RenderWorker::Delivery {
        started = true;
        while (!release && !stop)
            std::this_thread::yield();
        sawStop = bool(stop);
        log.add(QStringLiteral("A"));
        return [&] { delivered << QStringLiteral("A"); };
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(started); }, 10000));
    worker.submit(job(QStringLiteral("B")), RenderWorker::Running::Finish);
    worker.submit(job(QStringLiteral("C")), GetParam());
    release = true;
    worker.waitForIdle();
    QCoreApplication::processEvents();

    EXPECT_EQ(log.ran, QStringList({"A", "C"}));
    EXPECT_EQ(sawStop, GetParam() == RenderWorker::Running::Stop);
    EXPECT_EQ(delivered, QStringList({"C"}));
}

INSTANTIATE_TEST_SUITE_P(Running, RenderWorkerTest,
                         ::testing::Values(RenderWorker::Running::Finish, RenderWorker::Running::Stop));
