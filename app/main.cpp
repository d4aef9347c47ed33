// Tonvara: the tray icon and its menu over the application's model. Opening it again while it
// runs shows the running one's Access window instead.
#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <cstdio>

#include "AccessWindowHost.h"
#include "AppDelegate.h"
#include "AppModelUiAdapter.h"
#include "BundleInfo.h"
#include "MenuBarLabel.h"
#include "MenuContent.h"
#include "PlatformServices.h"
#include "ReopenChannel.h"
#include "UpdateResultBox.h"
#include "Updater.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // No main window: closing the Access window or a box must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(tonvara::BundleInfo::name());
  QApplication::setApplicationVersion(tonvara::BundleInfo::version());
  QApplication::setDesktopFileName(QString::fromLatin1(tonvara::BundleInfo::kIdentifier));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QString::fromLatin1(tonvara::BundleInfo::kIdentifier),
                       QIcon(QStringLiteral(":/app/com.tonvara.app.svg"))));

  tonvara::ReopenChannel reopen(tonvara::ReopenChannel::defaultFolder());
  switch (reopen.claim()) {
    case tonvara::ReopenChannel::Claim::primary:
      break;
    case tonvara::ReopenChannel::Claim::handedOver:
      return 0;
    case tonvara::ReopenChannel::Claim::unanswered:
      std::fprintf(stderr, "tonvara: another Tonvara is running but does not answer\n");
      return 1;
  }

  // The model asks for its Access window only once the loop runs, when the adapter exists.
  tonvara::ui::UiModel* uiModel = nullptr;
  tonvara::AppDelegate delegate(tonvara::AppModelDependencies{
      tonvara::makePlatformServices(),
      {},
      [&uiModel](tonvara::AppModel&) {
        return std::make_unique<tonvara::AccessWindowHost>(*uiModel);
      },
  });
  tonvara::AppModelUiAdapter adapter(delegate.model());
  uiModel = &adapter;
  QObject::connect(&delegate.model().updater(), &tonvara::Updater::checkFinished, &adapter,
                   &tonvara::showUpdateResult);

  tonvara::ui::MenuContent menu(adapter);
  tonvara::ui::MenuBarLabel label(adapter, menu);
  label.show();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    std::fprintf(stderr, "tonvara: no system tray here; open Tonvara again to see its window\n");
  }

  delegate.attach(&reopen);
  return QApplication::exec();
}
