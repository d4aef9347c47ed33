#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "MediaKeyEngine/WorkQueue.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Timing here only ever asserts "not earlier than" and order, never how soon.

TEST(DispatchQueue, RunsJobsOneAtATimeInTheOrderQueuedOnItsOwnThread) {
  DispatchQueue queue("test.serial", QualityOfService::userInitiated);
  constexpr int kJobs = 1000;
  std::vector<int> order;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread::id> threads;
  for (int i = 0; i < kJobs; ++i) {
    queue.async([&, i] {
      overlaps += inside.fetch_add(1) != 0 ? 1 : 0;
      order.push_back(i);
      threads.push_back(std::this_thread::get_id());
      inside.fetch_sub(1);
    });
  }
  queue.sync([] {});
  ASSERT_EQ(order.size(), static_cast<std::size_t>(kJobs));
  for (int i = 0; i < kJobs; ++i) {
    EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  }
  EXPECT_EQ(overlaps, 0);
  for (const auto& id : threads) {
    EXPECT_EQ(id, threads.front());
  }
  EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(DispatchQueue, DelayedJobsRunNoEarlierThanTheirDelayAndInDueOrder) {
  DispatchQueue queue("test.delays", QualityOfService::userInitiated);
  struct Run {
    int index;
    Clock::time_point at;
  };
  std::vector<Run> runs;
  std::vector<Clock::time_point> due(5);
  const std::chrono::milliseconds delays[] = {100ms, 25ms, 75ms, 0ms, 50ms};
  std::promise<void> allRan;
  for (int i = 0; i < 5; ++i) {
    due[static_cast<std::size_t>(i)] = Clock::now() + delays[i];
    queue.asyncAfter(delays[i], [&, i] {
      runs.push_back(Run{i, Clock::now()});
      if (runs.size() == 6) {
        allRan.set_value();
      }
    });
  }
  // A job queued now overtakes everything not yet due.
  queue.async([&] {
    runs.push_back(Run{-1, Clock::now()});
    if (runs.size() == 6) {
      allRan.set_value();
    }
  });
  allRan.get_future().wait();

  std::vector<int> order;
  for (const auto& run : runs) {
    order.push_back(run.index);
    if (run.index >= 0) {
      EXPECT_GE(run.at, due[static_cast<std::size_t>(run.index)]) << run.index;
    }
  }
  // The immediate job and the zero delay are both due at once: arrival order decides.
  EXPECT_EQ(order, (std::vector{3, -1, 1, 4, 2, 0}));
}

TEST(DispatchQueue, SyncRunsOnTheQueueAfterEverythingBeforeItAndWaits) {
  DispatchQueue queue("test.sync", QualityOfService::userInitiated);
  std::vector<int> order;
  for (int i = 0; i < 3; ++i) {
    queue.async([&, i] {
      std::this_thread::sleep_for(10ms);
      order.push_back(i);
    });
  }
  std::thread::id syncThread;
  queue.sync([&] {
    std::this_thread::sleep_for(20ms);
    order.push_back(3);
    syncThread = std::this_thread::get_id();
  });
  EXPECT_EQ(order, (std::vector{0, 1, 2, 3}));
  EXPECT_NE(syncThread, std::this_thread::get_id());
}

TEST(DispatchQueue, DestroyingDropsJobsNotYetStartedAndWaitsForTheRunningOne) {
  auto queue = std::make_unique<DispatchQueue>("test.teardown", QualityOfService::userInitiated);
  std::promise<void> started;
  std::promise<void> go;
  auto goSignal = go.get_future().share();
  std::atomic<bool> runningFinished{false};
  std::atomic<int> droppedRan{0};
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> tokenHeld = token;

  queue->async([&] {
    started.set_value();
    goSignal.wait();
    std::this_thread::sleep_for(20ms);
    runningFinished = true;
  });
  queue->async([&, token] { ++droppedRan; });
  queue->asyncAfter(1h, [&, token] { ++droppedRan; });
  token.reset();
  started.get_future().wait();

  std::thread destroyer([&] { queue.reset(); });
  // The pending jobs are released before the destructor waits for the running one.
  ASSERT_TRUE(eventually([&] { return tokenHeld.expired(); }));
  go.set_value();
  destroyer.join();
  EXPECT_TRUE(runningFinished);
  EXPECT_EQ(droppedRan, 0);
}

TEST(DispatchQueue, AJobMayDropTheLastOwnerOfItsQueue) {
  // The job itself resets the only owner, on the queue's own thread.
  {
    auto queue = std::make_shared<DispatchQueue>("test.self", QualityOfService::userInitiated);
    std::promise<void> go;
    auto goSignal = go.get_future().share();
    std::promise<void> done;
    std::atomic<int> laterRan{0};
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> tokenHeld = token;
    queue->async([&] {
      goSignal.wait();
      queue.reset();
      done.set_value();
    });
    queue->async([&, token] { ++laterRan; });
    token.reset();
    go.set_value();
    done.get_future().wait();
    EXPECT_TRUE(eventually([&] { return tokenHeld.expired(); }));
    EXPECT_EQ(laterRan, 0);
  }
  // The last owner is a capture of the job, released when the job is done with.
  {
    auto queue = std::make_shared<DispatchQueue>("test.capture", QualityOfService::userInitiated);
    std::weak_ptr<DispatchQueue> weak = queue;
    std::promise<void> ran;
    queue->async([&ran, keep = queue] { ran.set_value(); });
    queue.reset();
    ran.get_future().wait();
    EXPECT_TRUE(eventually([&] { return weak.expired(); }));
  }
  // Both queues' threads end by themselves.
  EXPECT_TRUE(eventually([] { return threadsNamed("test.self") <= 0; }));
  EXPECT_TRUE(eventually([] { return threadsNamed("test.capture") <= 0; }));
}

TEST(DispatchQueue, TheSharedConcurrentQueueRunsJobsSideBySideAndDelayedJobsOnTime) {
  const auto queue = DispatchQueue::global(QualityOfService::userInitiated);
  ASSERT_TRUE(queue);
  EXPECT_EQ(queue, DispatchQueue::global(QualityOfService::userInitiated));
  EXPECT_NE(queue, DispatchQueue::global(QualityOfService::background));

  // The first job can only finish once the second has started beside it.
  std::promise<void> secondStarted;
  auto second = secondStarted.get_future().share();
  std::promise<bool> firstSawSecond;
  queue->async(
      [&] { firstSawSecond.set_value(second.wait_for(30s) == std::future_status::ready); });
  queue->async([&] { secondStarted.set_value(); });
  EXPECT_TRUE(firstSawSecond.get_future().get());

  std::promise<Clock::time_point> delayedRan;
  const auto due = Clock::now() + 30ms;
  queue->asyncAfter(30ms, [&] { delayedRan.set_value(Clock::now()); });
  EXPECT_GE(delayedRan.get_future().get(), due);

  std::promise<std::thread::id> ranOn;
  queue->async([&] { ranOn.set_value(std::this_thread::get_id()); });
  EXPECT_NE(ranOn.get_future().get(), std::this_thread::get_id());
}

}  // namespace
}  // namespace tonvara::testing
