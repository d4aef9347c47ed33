#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "MediaKeyEngine/WorkQueue.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Timing here only ever asserts "not earlier than" and order, never how soon.
TEST(DispatchQueue, RunsJobsOneAtATimeOnItsThreadInDueThenArrivalOrder) {
  DispatchQueue queue("test.serial", QualityOfService::userInitiated);
  std::vector<int> order;
  std::vector<bool> onTime;
  const auto start = Clock::now();
  for (const int delay : {60, 20, 40, 0}) {
    queue.asyncAfter(std::chrono::milliseconds(delay), [&, delay] {
      order.push_back(delay);
      onTime.push_back(Clock::now() - start >= std::chrono::milliseconds(delay));
    });
  }
  std::atomic<int> inside{0}, overlaps{0};
  for (int i = 1; i <= 100; ++i) {
    queue.async([&, i] {
      overlaps += inside++ != 0 ? 1 : 0;
      order.push_back(-i);
      EXPECT_EQ(threadsNamed("test.serial"), 1);
      --inside;
    });
  }
  std::this_thread::sleep_for(70ms);
  queue.sync([&] { order.push_back(1000); });
  std::vector<int> expected{0};
  for (int i = 1; i <= 100; ++i) expected.push_back(-i);
  expected.insert(expected.end(), {20, 40, 60, 1000});
  EXPECT_EQ(order, expected);
  EXPECT_EQ(onTime, std::vector<bool>(4, true));
  EXPECT_EQ(overlaps, 0);
}

TEST(DispatchQueue, DestroyingDropsPendingJobsAndWaitsForTheRunningOne) {
  auto queue = std::make_unique<DispatchQueue>("test.teardown", QualityOfService::userInitiated);
  std::promise<void> started, go;
  auto released = go.get_future().share();
  std::atomic<bool> finished{false};
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> held = token;
  queue->async([&] {
    started.set_value();
    released.wait();
    std::this_thread::sleep_for(20ms);
    finished = true;
  });
  queue->async([token] { ADD_FAILURE() << "a dropped job ran"; });
  queue->asyncAfter(1h, [token] {});
  token.reset();
  started.get_future().wait();
  std::thread destroyer([&] { queue.reset(); });
  ASSERT_TRUE(eventually([&] { return held.expired(); }));  // released before the wait
  go.set_value();
  destroyer.join();
  EXPECT_TRUE(finished);
  // A job may drop the last owner of its own queue.
  auto self = std::make_shared<DispatchQueue>("test.self", QualityOfService::userInitiated);
  self->async([keep = self] {});
  self.reset();
  EXPECT_TRUE(eventually([] { return threadsNamed("test.self") <= 0; }));
}

TEST(DispatchQueue, TheSharedQueueRunsJobsSideBySide) {
  const auto queue = DispatchQueue::global(QualityOfService::userInitiated);
  EXPECT_EQ(queue, DispatchQueue::global(QualityOfService::userInitiated));
  std::promise<void> second;
  auto secondStarted = second.get_future().share();
  std::promise<bool> firstSawSecond;
  queue->async(
      [&] { firstSawSecond.set_value(secondStarted.wait_for(30s) == std::future_status::ready); });
  queue->async([&] { second.set_value(); });
  EXPECT_TRUE(firstSawSecond.get_future().get());
}

TEST(DispatchQueue, LowerQualitiesOfServiceRunAtAHigherNiceValue) {
  const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  for (const auto& [qos, nice] : {std::pair{QualityOfService::userInitiated, base},
                                  std::pair{QualityOfService::utility, std::max(base, 10)},
                                  std::pair{QualityOfService::background, 19}}) {
    DispatchQueue queue("test.qos", qos);
    int seen = -100;
    queue.sync([&] { seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); });
    EXPECT_EQ(seen, nice) << static_cast<int>(qos);
  }
}

}  // namespace
}  // namespace tonvara::testing
