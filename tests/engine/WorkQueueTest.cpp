#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>

#include "MediaKeyEngine/WorkQueue.h"
#include "ThreadCensus.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;

int niceValue() { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); }

// Timing here only ever asserts "not earlier than" and order, never how soon.
TEST(DispatchQueue, RunsJobsOneAtATimeInDueOrderAtItsQualityOfService) {
  const int base = niceValue();
  for (const auto& [qos, nice] : {std::pair{QualityOfService::userInitiated, base},
                                  std::pair{QualityOfService::utility, std::max(base, 10)},
                                  std::pair{QualityOfService::background, 19}}) {
    auto queue = std::make_shared<DispatchQueue>("test.queue", qos);
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    for (const int delay : {40, 20, 0, -1, -2}) {
      queue->asyncAfter(std::max(delay, 0) * 1ms, [&, delay] {
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::max(delay, 0) * 1ms);
        EXPECT_EQ(niceValue(), nice);
        order.push_back(delay);
      });
    }
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> held = token;
    queue->asyncAfter(1h, [token] { ADD_FAILURE() << "a dropped job ran"; });
    token.reset();
    std::this_thread::sleep_for(50ms);
    queue->sync([&] { order.push_back(1); });
    EXPECT_EQ(order, (std::vector{0, -1, -2, 20, 40, 1}));
    queue->async([&queue] { queue.reset(); });  // the last owner goes from a job of its own
    EXPECT_TRUE(eventually([&] { return held.expired() && threadsNamed("test.queue") <= 0; }));
  }
}

TEST(DispatchQueue, TheSharedQueueRunsJobsSideBySide) {
  const auto shared = DispatchQueue::global(QualityOfService::userInitiated);
  EXPECT_EQ(shared, DispatchQueue::global(QualityOfService::userInitiated));
  std::atomic<bool> second{false};
  std::promise<bool> firstSawSecond;
  shared->async([&] { firstSawSecond.set_value(eventually([&] { return second.load(); })); });
  shared->async([&] { second = true; });
  EXPECT_TRUE(firstSawSecond.get_future().get());
}

}  // namespace
}  // namespace tonvara::testing
