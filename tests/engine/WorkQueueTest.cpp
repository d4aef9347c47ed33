#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>

#include "MediaKeyEngine/WorkQueue.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

// Timing here only ever asserts "not earlier than" and order, never how soon.
TEST(DispatchQueue, RunsJobsOneAtATimeOnItsThreadInDueThenArrivalOrder) {
  DispatchQueue queue("test.serial", QualityOfService::userInitiated);
  std::vector<int> order;
  const auto start = std::chrono::steady_clock::now();
  for (const int delay : {60, 20, 40, 0}) {
    queue.asyncAfter(delay * 1ms, [&, delay] {
      order.push_back(delay);
      EXPECT_GE(std::chrono::steady_clock::now() - start, delay * 1ms);
    });
  }
  std::atomic<int> inside{0};
  for (int i = 1; i <= 50; ++i) {
    queue.async([&, i] {
      EXPECT_EQ(inside++, 0);
      order.push_back(-i);
      EXPECT_EQ(threadsNamed("test.serial"), 1);
      --inside;
    });
  }
  std::this_thread::sleep_for(70ms);
  queue.sync([&] { order.push_back(1000); });
  std::vector<int> expected{0};
  for (int i = 1; i <= 50; ++i) {
    expected.push_back(-i);
  }
  expected.insert(expected.end(), {20, 40, 60, 1000});
  EXPECT_EQ(order, expected);
}

TEST(DispatchQueue, DestroyingDropsPendingJobsAndWaitsForTheRunningOne) {
  auto queue = std::make_unique<DispatchQueue>("test.teardown", QualityOfService::userInitiated);
  std::promise<void> started, go;
  std::atomic<bool> finished{false};
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> held = token;
  queue->async([&, released = go.get_future().share()] {
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
  auto self = std::make_shared<DispatchQueue>("test.self", QualityOfService::userInitiated);
  self->async([keep = self] {});  // a job may drop the last owner of its own queue
  self.reset();
  EXPECT_TRUE(eventually([] { return threadsNamed("test.self") <= 0; }));
}

TEST(DispatchQueue, LowerQualitiesOfServiceRunAtHigherNiceValuesAndTheSharedQueueIsConcurrent) {
  const auto nice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
  const int base = nice();
  for (const auto& [qos, expected] : {std::pair{QualityOfService::userInitiated, base},
                                      std::pair{QualityOfService::utility, std::max(base, 10)},
                                      std::pair{QualityOfService::background, 19}}) {
    DispatchQueue queue("test.qos", qos);
    int seen = -100;
    queue.sync([&] { seen = nice(); });
    EXPECT_EQ(seen, expected) << static_cast<int>(qos);
  }
  const auto shared = DispatchQueue::global(QualityOfService::utility);
  EXPECT_EQ(shared, DispatchQueue::global(QualityOfService::utility));
  std::promise<void> second;
  std::promise<int> first;
  shared->async([&, started = second.get_future().share()] {
    first.set_value(started.wait_for(30s) == std::future_status::ready ? nice() : -100);
  });
  shared->async([&] { second.set_value(); });
  EXPECT_EQ(first.get_future().get(), std::max(base, 10));
}

}  // namespace
}  // namespace tonvara::testing
