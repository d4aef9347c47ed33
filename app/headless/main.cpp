// Tonvara without a user interface: the same model, settings and engine, with the setup steps
// taken on the user's behalf and the state written to the standard error. Opening it again
// while it runs asks the running one to show its setup instead.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "AppDelegate.h"
#include "BundleInfo.h"
#include "ReopenChannel.h"

namespace {

using tonvara::AppModel;
using tonvara::MusicController;

// Takes each step of the setup that is still open, and says what is missing.
class HeadlessAccessWindow final : public tonvara::AccessWindowController {
 public:
  explicit HeadlessAccessWindow(AppModel& model) : model_(model) {}

  void show() override {
    model_.refreshPermissions();
    if (!model_.hasAccessibility() && !model_.hasRequestedAccessibility()) {
      model_.requestAccessibility();
    }
    if (model_.automationStatus() == MusicController::AutomationAccess::undetermined) {
      model_.requestAutomation();
    }
    std::fprintf(stderr, "tonvara: media keys %s, player control %s, setup %s\n",
                 model_.hasAccessibility() ? "available" : "held by another program",
                 automationText(model_.automationStatus()),
                 model_.accessSetupCompleted() ? "complete" : "incomplete");
  }

 private:
  static const char* automationText(MusicController::AutomationAccess access) {
    switch (access) {
      case MusicController::AutomationAccess::granted:
        return "allowed";
      case MusicController::AutomationAccess::denied:
        return "refused";
      case MusicController::AutomationAccess::undetermined:
        break;
    }
    return "not yet known";
  }

  AppModel& model_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(tonvara::BundleInfo::name());
  QCoreApplication::setApplicationVersion(tonvara::BundleInfo::version());
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Tonvara without a user interface: takes the setup steps itself and\n"
                     "writes its state to the standard error."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(application);  // --help and --version print and exit here

  tonvara::ReopenChannel reopen(tonvara::ReopenChannel::defaultFolder());
  if (const auto exitCode = tonvara::exitCodeUnlessFirst(reopen.claim())) {
    return *exitCode;
  }

  tonvara::AppDelegate delegate(tonvara::AppModelDependencies{
      tonvara::makePlatformServices(),
      {},
      [](AppModel& model) { return std::make_unique<HeadlessAccessWindow>(model); },
  });
  QString lastSymbol;
  QObject::connect(&delegate.model(), &AppModel::stateChanged, &delegate, [&] {
    const QString symbol = delegate.model().menuBarSymbolName();
    if (symbol != lastSymbol) {
      lastSymbol = symbol;
      std::fprintf(stderr, "tonvara: icon %s\n", qPrintable(symbol));
    }
  });
  delegate.attach(&reopen);
  return QCoreApplication::exec();
}
