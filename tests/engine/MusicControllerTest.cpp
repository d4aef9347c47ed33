#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "FakeApplicationPlatform.h"
#include "MediaKeyEngine/MusicController.h"
#include "MediaKeyEngine/WorkQueue.h"
#include "VirtualClock.h"

namespace tonvara::testing {
namespace {

using namespace std::chrono_literals;
using Access = MusicController::AutomationAccess;
using AfterLaunch = MusicController::PlayPauseAfterLaunch;
using Duration = VirtualClock::Duration;

std::int64_t millisecondsOf(Duration time) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(time).count();
}

struct Sent {
  MediaKey key;
  bool afterLaunch;
  std::int64_t atMs;
  bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& sent, std::ostream* out) {
  *out << debugName(sent.key) << (sent.afterLaunch ? " after launch" : "") << " at " << sent.atMs
       << " ms";
}

std::vector<std::string> repeated(const std::string& command, std::size_t times) {
  return std::vector<std::string>(times, command);
}

// A controller with the default launch and send procedures over the fake platform, its queues
// on a virtual clock, and every call of the sender recorded with its virtual time.
class MusicControllerTest : public ::testing::Test {
 protected:
  std::shared_ptr<MusicController> makeController(
      AfterLaunch mode = AfterLaunch::toggle, MusicController::LaunchApplication launch = nullptr) {
    auto apps = this->apps;
    if (!launch) {
      launch = MusicController::makeDefaultLaunchApplication(apps,
                                                             std::make_shared<VirtualQueue>(clock));
    }
    return MusicController::create(
        std::make_shared<VirtualQueue>(clock),
        [apps] { return apps->runningApplications(MusicController::bundleID); }, std::move(launch),
        [this, send = MusicController::makeDefaultSendCommand(apps, mode)](MediaKey key,
                                                                           bool afterLaunch) {
          sent.push_back(Sent{key, afterLaunch, millisecondsOf(clock.now())});
          send(key, afterLaunch);
        },
        [apps] { return apps->determinePermissionToAutomate(MusicController::bundleID, false); },
        [apps] { return apps->isPlayerPlaying(MusicController::bundleID).value_or(false); });
  }

  // Records the virtual time of every player-state query.
  void recordPlayerStateQueries() {
    apps->setOnPlayerStateQuery([this] { stateQueries.push_back(millisecondsOf(clock.now())); });
  }

  VirtualClock clock;
  std::shared_ptr<FakeApplicationPlatform> apps = std::make_shared<FakeApplicationPlatform>();
  std::vector<Sent> sent;
  std::vector<std::int64_t> stateQueries;  // virtual milliseconds
};

std::vector<std::int64_t> everyHalfSecond(int count) {
  std::vector<std::int64_t> times;
  for (int i = 1; i <= count; ++i) {
    times.push_back(i * 500);
  }
  return times;
}

TEST_F(MusicControllerTest, PerformOnlyQueuesAndSendsWithoutLaunchWhenNotAsked) {
  auto music = makeController();
  music->perform(MediaKey::next, false);
  EXPECT_EQ(clock.pendingJobs(), 1U);
  EXPECT_EQ(apps->runningQueries(), 0);
  EXPECT_TRUE(sent.empty());

  clock.runUntilIdle();
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::next, false, 0}}));
  EXPECT_EQ(apps->commands(), std::vector<std::string>{"nextTrack"});
  EXPECT_EQ(apps->launches(), 0);
}

TEST_F(MusicControllerTest, KeysRunInTheOrderTheyWereQueued) {
  auto music = makeController();
  music->perform(MediaKey::previous, false);
  music->perform(MediaKey::playPause, false);
  music->perform(MediaKey::next, false);
  clock.runUntilIdle();
  EXPECT_EQ(apps->commands(),
            (std::vector<std::string>{"previousTrack", "playpause", "nextTrack"}));
}

TEST_F(MusicControllerTest, PerformWithLaunchWhileMusicRunsSendsAtOnce) {
  apps->setRunning(true);
  auto music = makeController();
  for (const auto key : {MediaKey::next, MediaKey::previous, MediaKey::playPause}) {
    music->perform(key, true);
  }
  clock.runUntilIdle();
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::next, false, 0}, Sent{MediaKey::previous, false, 0},
                               Sent{MediaKey::playPause, false, 0}}));
  EXPECT_EQ(apps->launches(), 0);
  EXPECT_EQ(apps->playerStateQueries(), 0);
}

TEST_F(MusicControllerTest, WhetherMusicRunsIsAskedWhenTheJobRuns) {
  auto music = makeController();
  music->perform(MediaKey::playPause, true);
  apps->setRunning(true);
  clock.runUntilIdle();
  EXPECT_EQ(apps->launches(), 0);
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::playPause, false, 0}}));
}

TEST_F(MusicControllerTest, PlayPauseAfterALaunchChecksPlaybackHalfASecondLater) {
  recordPlayerStateQueries();
  apps->setPlayingAfterCommands(1);
  auto music = makeController();
  music->perform(MediaKey::playPause, true);
  clock.runUntilIdle();
  EXPECT_EQ(apps->launches(), 1);
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::playPause, true, 0}}));
  EXPECT_EQ(stateQueries, everyHalfSecond(1));
  EXPECT_EQ(apps->commands(), std::vector<std::string>{"playpause"});
}

TEST_F(MusicControllerTest, APlayerThatNeverPlaysGetsTenChecksAndTenCommandsInAll) {
  recordPlayerStateQueries();
  apps->setPlayingAfterCommands(-1);
  auto music = makeController();
  music->perform(MediaKey::playPause, true);
  clock.runUntilIdle();
  EXPECT_EQ(stateQueries, everyHalfSecond(10));
  EXPECT_EQ(apps->commands(), repeated("playpause", 10));
  for (const auto& each : sent) {
    EXPECT_TRUE(each.afterLaunch);
  }
  EXPECT_EQ(clock.pendingJobs(), 0U);
}

TEST_F(MusicControllerTest, RetriesStopOnceThePlayerPlays) {
  recordPlayerStateQueries();
  apps->setPlayingAfterCommands(3);
  auto music = makeController();
  music->perform(MediaKey::playPause, true);
  clock.runUntilIdle();
  EXPECT_EQ(stateQueries, everyHalfSecond(3));
  EXPECT_EQ(apps->commands(), repeated("playpause", 3));
}

TEST_F(MusicControllerTest, ThePlaybackLoopKeepsTheControllerAliveUntilItsLastStep) {
  apps->setPlayingAfterCommands(-1);
  auto music = makeController();
  music->perform(MediaKey::playPause, true);
  clock.advanceBy(Duration::zero());
  ASSERT_EQ(apps->commands().size(), 1U);
  music.reset();
  clock.runUntilIdle();
  EXPECT_EQ(apps->commands().size(), 10U);
}

TEST_F(MusicControllerTest, NextAndPreviousAfterALaunchSendOneCommand) {
  for (const auto& [key, command] :
       {std::pair{MediaKey::next, "nextTrack"}, std::pair{MediaKey::previous, "previousTrack"}}) {
    apps = std::make_shared<FakeApplicationPlatform>();
    sent.clear();
    auto music = makeController();
    music->perform(key, true);
    clock.runUntilIdle();
    EXPECT_EQ(apps->launches(), 1);
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].key, key);
    EXPECT_TRUE(sent[0].afterLaunch);
    EXPECT_EQ(apps->commands(), std::vector<std::string>{command});
    EXPECT_EQ(apps->playerStateQueries(), 0);
  }
}

TEST_F(MusicControllerTest, AFailedLaunchSendsNothing) {
  struct Case {
    const char* what;
    bool installed;
    LaunchOutcome outcome;
    int launches;
  };
  for (const auto& [what, installed, outcome, launches] :
       {Case{"not installed", false, LaunchOutcome::finished, 0},
        Case{"open error", true, LaunchOutcome::openError, 1},
        Case{"terminated", true, LaunchOutcome::terminated, 1}}) {
    SCOPED_TRACE(what);
    apps = std::make_shared<FakeApplicationPlatform>();
    sent.clear();
    apps->setInstalled(installed);
    apps->setLaunchOutcome(outcome, 3);
    auto music = makeController();
    for (const auto key : {MediaKey::playPause, MediaKey::next}) {
      music->perform(key, true);
      clock.runUntilIdle();
    }
    EXPECT_EQ(apps->launches(), 2 * launches);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(apps->commands().empty());
    EXPECT_EQ(clock.pendingJobs(), 0U);
  }
}

TEST_F(MusicControllerTest, ASlowLaunchSendsOnceMusicHasFinishedLaunching) {
  apps->setLaunchOutcome(LaunchOutcome::slow, 3);
  auto music = makeController();
  music->perform(MediaKey::next, true);
  clock.runUntilIdle();
  ASSERT_EQ(sent.size(), 1U);
  EXPECT_TRUE(sent[0].afterLaunch);
  // Readiness is checked every 50 ms, starting one interval after the launch reported back.
  EXPECT_GT(sent[0].atMs, 0);
  EXPECT_LT(sent[0].atMs, 5000);
  EXPECT_EQ(sent[0].atMs % 50, 0);
}

TEST_F(MusicControllerTest, ALaunchThatNeverFinishesSendsAnywayAfterAHundredChecks) {
  apps->setLaunchOutcome(LaunchOutcome::neverReady);
  auto music = makeController();
  music->perform(MediaKey::previous, true);
  clock.runUntilIdle();
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::previous, true, 100 * 50}}));
  EXPECT_EQ(apps->commands(), std::vector<std::string>{"previousTrack"});
}

TEST_F(MusicControllerTest, PlayModeSendsPlayForAPlayPauseThatLaunchedMusicOnly) {
  apps->setPlayingAfterCommands(-1);
  auto music = makeController(AfterLaunch::play);
  music->perform(MediaKey::playPause, true);
  clock.runUntilIdle();
  EXPECT_EQ(apps->commands(), repeated("play", 10));

  music->perform(MediaKey::playPause, true);
  music->perform(MediaKey::playPause, false);
  clock.runUntilIdle();
  EXPECT_EQ(apps->commands().size(), 12U);
  EXPECT_EQ(apps->commands().back(), "playpause");
  EXPECT_EQ(apps->commands()[10], "playpause");
}

TEST_F(MusicControllerTest, TheDefaultSenderChoosesTheCommandByKey) {
  for (const auto mode : {AfterLaunch::toggle, AfterLaunch::play}) {
    apps = std::make_shared<FakeApplicationPlatform>();
    const auto send = MusicController::makeDefaultSendCommand(apps, mode);
    send(MediaKey::playPause, false);
    send(MediaKey::next, false);
    send(MediaKey::previous, false);
    send(MediaKey::next, true);
    send(MediaKey::previous, true);
    send(MediaKey::playPause, true);
    const std::string afterLaunch = mode == AfterLaunch::play ? "play" : "playpause";
    EXPECT_EQ(apps->commands(),
              (std::vector<std::string>{"playpause", "nextTrack", "previousTrack", "nextTrack",
                                        "previousTrack", afterLaunch}));
  }
}

TEST_F(MusicControllerTest, TheDefaultSenderSendsNothingWithoutAScriptableMusic) {
  const auto send = MusicController::makeDefaultSendCommand(apps, AfterLaunch::toggle);
  apps->setScriptable(false);
  send(MediaKey::playPause, false);
  apps->setScriptable(true);
  apps->setRespondsToCommands(false);
  send(MediaKey::next, true);
  EXPECT_TRUE(apps->commands().empty());
}

TEST_F(MusicControllerTest, EveryPlatformRequestNamesMusic) {
  EXPECT_EQ(MusicController::bundleID, "com.apple.Music");
  using Use = std::function<void(const std::shared_ptr<FakeApplicationPlatform>&)>;
  const std::vector<std::pair<const char*, Use>> uses = {
      {"launch",
       [](const std::shared_ptr<FakeApplicationPlatform>& platform) {
         VirtualClock waits;
         MusicController::makeDefaultLaunchApplication(
             platform, std::make_shared<VirtualQueue>(waits))([](bool /*isUp*/) {});
       }},
      {"send", [](const std::shared_ptr<FakeApplicationPlatform>& platform) {
         MusicController::makeDefaultSendCommand(platform, AfterLaunch::toggle)(MediaKey::next,
                                                                                false);
       }}};
  for (const auto& [what, use] : uses) {
    const auto platform = std::make_shared<FakeApplicationPlatform>();
    use(platform);
    EXPECT_EQ(platform->lastBundleID(), "com.apple.Music") << what;
  }
}

TEST_F(MusicControllerTest, AutomationAccessIsCheckedAfreshAndMapped) {
  EXPECT_EQ(MusicController::automationAccessFromStatus(0), Access::granted);
  EXPECT_EQ(MusicController::automationAccessFromStatus(-1743), Access::denied);
  EXPECT_EQ(MusicController::automationAccessFromStatus(-1744), Access::undetermined);
  EXPECT_EQ(MusicController::automationAccessFromStatus(-600), Access::undetermined);
  EXPECT_EQ(MusicController::automationAccessFromStatus(1), Access::undetermined);

  auto music = makeController();
  apps->setAutomationStatus(kAutomationNotPermitted);
  EXPECT_EQ(music->automationAccess(), Access::denied);
  apps->setAutomationStatus(kAutomationGranted);
  EXPECT_EQ(music->automationAccess(), Access::granted);
  apps->setAutomationStatus(kAutomationProcessNotFound);
  EXPECT_EQ(music->automationAccess(), Access::undetermined);
  EXPECT_EQ(apps->automationChecks(), 3);
}

TEST_F(MusicControllerTest, IsRunningIsAskedAtEveryRead) {
  auto music = makeController();
  EXPECT_FALSE(music->isRunning());
  apps->setRunning(true);
  EXPECT_TRUE(music->isRunning());
  EXPECT_EQ(apps->runningQueries(), 2);
}

TEST_F(MusicControllerTest, PerformAndWaitSendsWithoutLaunching) {
  auto music = makeController();
  music->performAndWait(MediaKey::playPause);
  EXPECT_EQ(sent, (std::vector{Sent{MediaKey::playPause, false, 0}}));
  EXPECT_EQ(apps->launches(), 0);
  EXPECT_EQ(clock.pendingJobs(), 0U);
}

TEST(MusicControllerQueue, PerformAndWaitBlocksUntilTheCommandWasSent) {
  auto apps = std::make_shared<FakeApplicationPlatform>();
  auto queue = std::make_shared<DispatchQueue>("test.music", QualityOfService::userInitiated);
  const auto send = MusicController::makeDefaultSendCommand(apps, AfterLaunch::toggle);
  auto music = MusicController::create(
      queue, [apps] { return apps->runningApplications(MusicController::bundleID); },
      [](const MusicController::LaunchCompletion& completion) { completion(true); },
      [send](MediaKey key, bool afterLaunch) {
        std::this_thread::sleep_for(20ms);
        send(key, afterLaunch);
      },
      [] { return kAutomationGranted; }, [] { return true; });
  music->perform(MediaKey::next, false);
  music->performAndWait(MediaKey::previous);
  EXPECT_EQ(apps->commands(), (std::vector<std::string>{"nextTrack", "previousTrack"}));
  EXPECT_EQ(apps->launches(), 0);
}

TEST_F(MusicControllerTest, ALaunchCompletionDoesNothingOnceTheControllerIsGone) {
  std::vector<MusicController::LaunchCompletion> completions;
  auto music =
      makeController(AfterLaunch::toggle, [&](const MusicController::LaunchCompletion& completion) {
        completions.push_back(completion);
      });
  music->perform(MediaKey::playPause, true);
  music->perform(MediaKey::next, true);
  clock.runUntilIdle();
  ASSERT_EQ(completions.size(), 2U);

  // A completion that reports failure drops the key while the controller lives.
  completions[0](false);
  EXPECT_EQ(clock.pendingJobs(), 0U);

  std::weak_ptr<MusicController> weak = music;
  music.reset();
  ASSERT_TRUE(weak.expired());
  completions[1](true);
  EXPECT_EQ(clock.pendingJobs(), 0U);
  clock.runUntilIdle();
  EXPECT_TRUE(sent.empty());
}

// Steps are kept until the test runs them, one retry interval at a time.
class StepScheduler {
 public:
  MusicController::ScheduleRetry schedule() {
    return [this](std::function<void()> step) { steps_.push_back(std::move(step)); };
  }
  std::size_t pending() const { return steps_.size(); }
  bool runNext() {
    if (steps_.empty()) {
      return false;
    }
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
    return true;
  }
  int runAll() {
    int ran = 0;
    while (runNext()) {
      ++ran;
    }
    return ran;
  }

 private:
  std::deque<std::function<void()>> steps_;
};

TEST(MusicControllerRetries, WaitUntilReadyChecksFirstOneIntervalAfterTheCall) {
  StepScheduler scheduler;
  int checks = 0;
  int completions = 0;
  MusicController::waitUntilReady(
      [&] {
        ++checks;
        return true;
      },
      100, scheduler.schedule(), [&] { ++completions; });
  EXPECT_EQ(checks, 0);
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(scheduler.pending(), 1U);
  EXPECT_EQ(scheduler.runAll(), 1);
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(completions, 1);
}

TEST(MusicControllerRetries, WaitUntilReadyCompletesOnceAfterTheLastCheck) {
  StepScheduler scheduler;
  int checks = 0;
  int completions = 0;
  MusicController::waitUntilReady(
      [&] {
        ++checks;
        return false;
      },
      100, scheduler.schedule(), [&] { ++completions; });
  for (int step = 1; step < 100; ++step) {
    ASSERT_TRUE(scheduler.runNext());
    EXPECT_EQ(completions, 0) << step;
  }
  ASSERT_TRUE(scheduler.runNext());
  EXPECT_EQ(checks, 100);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(scheduler.pending(), 0U);
}

TEST(MusicControllerRetries, WaitUntilReadyStopsAtTheFirstReadyCheck) {
  StepScheduler scheduler;
  int checks = 0;
  int completions = 0;
  MusicController::waitUntilReady([&] { return ++checks == 5; }, 100, scheduler.schedule(),
                                  [&] { ++completions; });
  EXPECT_EQ(scheduler.runAll(), 5);
  EXPECT_EQ(checks, 5);
  EXPECT_EQ(completions, 1);
}

TEST(MusicControllerRetries, WaitUntilReadyWithFewAttemptsChecksOnce) {
  for (const int attempts : {1, 0, -3}) {
    StepScheduler scheduler;
    int checks = 0;
    int completions = 0;
    MusicController::waitUntilReady(
        [&] {
          ++checks;
          return false;
        },
        attempts, scheduler.schedule(), [&] { ++completions; });
    EXPECT_EQ(scheduler.runAll(), 1) << attempts;
    EXPECT_EQ(checks, 1) << attempts;
    EXPECT_EQ(completions, 1) << attempts;
  }
}

TEST(MusicControllerRetries, EnsurePlaybackStartedSendsAfterEachFailedCheckButTheLast) {
  StepScheduler scheduler;
  int checks = 0;
  int sends = 0;
  std::vector<int> sendsAtCheck;
  MusicController::ensurePlaybackStarted([&] { ++sends; },
                                         [&] {
                                           sendsAtCheck.push_back(sends);
                                           ++checks;
                                           return false;
                                         },
                                         10, scheduler.schedule());
  EXPECT_EQ(checks, 0);
  EXPECT_EQ(scheduler.runAll(), 10);
  EXPECT_EQ(checks, 10);
  EXPECT_EQ(sends, 9);
  EXPECT_EQ(sendsAtCheck, (std::vector{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(MusicControllerRetries, EnsurePlaybackStartedStopsWhenPlayingOrOutOfAttempts) {
  struct Case {
    int attempts;
    int playingAtCheck;  // 0: never
    int checks;
    int sends;
  };
  for (const auto& [attempts, playingAtCheck, expectedChecks, expectedSends] :
       {Case{1, 0, 1, 0}, Case{0, 0, 1, 0}, Case{10, 1, 1, 0}, Case{10, 4, 4, 3}}) {
    StepScheduler scheduler;
    int checks = 0;
    int sends = 0;
    MusicController::ensurePlaybackStarted([&] { ++sends; },
                                           [&, at = playingAtCheck] { return ++checks == at; },
                                           attempts, scheduler.schedule());
    scheduler.runAll();
    EXPECT_EQ(checks, expectedChecks) << attempts << " attempts";
    EXPECT_EQ(sends, expectedSends) << attempts << " attempts";
  }
}

}  // namespace
}  // namespace tonvara::testing
