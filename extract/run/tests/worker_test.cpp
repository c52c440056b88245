// The worker's contract, tested directly: order, groups, waking, back-pressure, and what
// becomes of the jobs it holds when it goes.
#include "worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <thread>

using namespace carrowin::extract;

namespace {

struct Job {
    int number = 0;
    std::thread::id workedOn;
    std::size_t groupSize = 0;
};

Job job(int number)
{
    Job j;
    j.number = number;
    return j;
}

using IntWorker = Worker<Job>;

IntWorker::Work recording()
{
    return [](std::span<Job> group) {
        for (Job& job : group) {
            job.workedOn = std::this_thread::get_id();
            job.groupSize = group.size();
        }
    };
}

} // namespace

TEST(Worker, HandsEveryJobBackOnceInTheOrderItCameWorkedOnItsOwnThread)
{
    IntWorker worker(recording(), {.maxQueued = 8, .wakeBatch = 3});
    std::set<std::thread::id> threads;
    int next = 0;
    for (int i = 0; i < 1000; ++i) {
        worker.submit(job(i));
        while (std::optional<Job> done = worker.tryTake()) {
            EXPECT_EQ(done->number, next++);
            threads.insert(done->workedOn);
        }
    }
    while (worker.inFlight() > 0) {
        const Job done = worker.take();
        EXPECT_EQ(done.number, next++);
        threads.insert(done.workedOn);
    }
    EXPECT_EQ(next, 1000);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
    EXPECT_FALSE(worker.tryTake());
}

TEST(Worker, WakesForABatchAndNeverLeavesAJobWaitingLongerThanItsDelay)
{
    // A batch of four wakes it; one job alone is done once its delay has passed.
    IntWorker worker(recording(), {.wakeBatch = 4, .maxDelay = std::chrono::milliseconds(5)});
    worker.submit(job(1));
    // Ten seconds by the clock, far beyond its delay (a count of short sleeps is no
    // measure of time: under Wine a sleep shorter than a millisecond returns at once).
    std::optional<Job> done;
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !done && std::chrono::steady_clock::now() < until;) {
        done = worker.tryTake();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ASSERT_TRUE(done) << "a lone job was never worked on";
    EXPECT_EQ(done->number, 1);
}

TEST(Worker, WaitingForAJobWakesTheThreadForItWhateverTheBatch)
{
    IntWorker worker(recording(), {.wakeBatch = 1000}); // no delay: only a reason wakes it
    worker.submit(job(7));
    worker.submit(job(8));
    EXPECT_EQ(worker.take().number, 7);
    worker.flush();
    EXPECT_EQ(worker.take().number, 8);
    worker.submit(job(9));
    worker.waitUntilDone(1);
    EXPECT_EQ(worker.tryTake()->number, 9);
}

TEST(Worker, ThreadTakesWhatWaitsAsOneGroupUpToItsLargest)
{
    std::atomic<bool> open{false};
    IntWorker worker(
        [&](std::span<Job> group) {
            while (!open)
                std::this_thread::yield();
            for (Job& job : group)
                job.groupSize = group.size();
        },
        {.maxGroup = 5, .wakeBatch = 1});
    worker.submit(job(0)); // the first group, held while the rest comes
    for (int i = 1; i <= 12; ++i)
        worker.submit(job(i));
    open = true;
    std::vector<std::size_t> sizes;
    for (int i = 0; i <= 12; ++i)
        sizes.push_back(worker.take().groupSize);
    // The first group is whatever had come when the thread woke; everything else waited
    // behind it, and goes in groups as large as allowed.
    std::size_t at = 0;
    ASSERT_LE(sizes[0], 5u);
    at += sizes[0];
    while (at < sizes.size()) {
        EXPECT_EQ(sizes[at], std::min<std::size_t>(5, sizes.size() - at)) << "the group at job " << at;
        at += sizes[at];
    }
}

TEST(Worker, SubmitWaitsWhileTooManyJobsOrBytesWaitForTheThread)
{
    std::atomic<int> submitted{0};
    std::atomic<int> started{0};
    std::atomic<int> mostWaiting{0};
    IntWorker worker(
        [&](std::span<Job> group) {
            // Every job that submit() has let in and the thread has not taken yet waits.
            const int waiting = submitted - started - static_cast<int>(group.size());
            mostWaiting = std::max(mostWaiting.load(), waiting);
            started += static_cast<int>(group.size());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        },
        {.maxQueued = 4, .maxQueuedBytes = 300, .maxGroup = 1, .wakeBatch = 1});
    for (int i = 0; i < 200; ++i) {
        worker.submit(job(i), 100);
        ++submitted;
    }
    while (worker.inFlight() > 0)
        worker.take();
    EXPECT_LE(mostWaiting, 3) << "at most 300 bytes of jobs of 100 bytes wait";
    // A job larger than the limit on its own is let in when nothing waits.
    worker.submit(job(-1), 1000);
    EXPECT_EQ(worker.take().number, -1);
}

TEST(Worker, GoingDestroysEveryJobItHoldsOnce)
{
    struct Counted {
        std::shared_ptr<int> alive;
    };
    const auto alive = std::make_shared<int>(0);
    {
        std::atomic<bool> open{false};
        Worker<Counted> worker(
            [&](std::span<Counted>) {
                while (!open)
                    std::this_thread::yield();
            },
            {.maxGroup = 1, .wakeBatch = 1});
        for (int i = 0; i < 10; ++i)
            worker.submit(Counted{alive});
        EXPECT_EQ(alive.use_count(), 11);
        open = true;
        worker.take(); // some done and not taken, some waiting, when it goes
    }
    EXPECT_EQ(alive.use_count(), 1);
}
