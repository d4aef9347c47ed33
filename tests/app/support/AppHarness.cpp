#include "AppHarness.h"

#include <QCoreApplication>

namespace tonvara::testing {

namespace {

class RecordingAccessWindow final : public AccessWindowController {
 public:
  explicit RecordingAccessWindow(std::shared_ptr<AccessWindowLog> log) : log_(std::move(log)) {
    ++log_->made;
  }
  void show() override { ++log_->shows; }

 private:
  std::shared_ptr<AccessWindowLog> log_;
};

}  // namespace

AppHarness::AppHarness() : services(std::make_shared<FakePlatformServices>(clock, taps, apps)) {}

void AppHarness::store(const char* key, const QJsonValue& value) {
  defaults().values.insert(QString::fromLatin1(key), value);
}

AppModelDependencies AppHarness::dependencies() {
  return AppModelDependencies{
      services,
      [this](EngineSettings settings) {
        routersBuiltWith.push_back(settings);
        return std::make_unique<MediaKeyRouter>(settings, std::make_unique<MediaKeyTap>(taps),
                                                makeFakeMusicController(apps, clock));
      },
      [log = window](AppModel&) { return std::make_unique<RecordingAccessWindow>(log); },
  };
}

AppModel& AppHarness::build() {
  model = std::make_unique<AppModel>(dependencies());
  return *model;
}

AppModel& AppHarness::launch() {
  build().start();
  return *model;
}

void AppHarness::advance(std::chrono::milliseconds span) {
  clock.advanceBy(span);
  processMainThreadEvents();
}

void AppHarness::processMainThreadEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

}  // namespace tonvara::testing
