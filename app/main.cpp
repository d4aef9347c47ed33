// Tonvara: the tray icon and its menu over the application's model. Opening it again while it
// runs shows the running one's Access window instead.
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "AccessWindowHost.h"
#include "AppDelegate.h"
#include "AppModelUiAdapter.h"
#include "BundleInfo.h"
#include "MenuBarLabel.h"
#include "MenuContent.h"
#include "PlatformServices.h"
#include "ReopenChannel.h"
#include "SavedDesktopKeys.h"
#include "TrayAvailability.h"
#include "UpdateResultBox.h"
#include "Updater.h"

namespace {

// QApplication's own window-system options, so that the parser lets them through to it.
struct QtOption {
  const char* name;
  bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true}, {"platformtheme", true}, {"plugin", true},          {"display", true},
    {"session", true},  {"style", true},         {"qwindowgeometry", true}, {"reverse", false},
};

// Whether the chosen window system needs a display server: offscreen, vnc and the like do not.
bool needsDisplayServer(const QString& platform) {
  return platform.isEmpty() || platform.contains(QLatin1String("xcb")) ||
         platform.contains(QLatin1String("wayland"));
}

// `--media-key KEY`, run by a desktop keybinding: the small client beside this program hands the
// key to the running instance, with no toolkit to start first. Nothing for any other command line.
std::optional<int> runKeyCommand(char** argv) {
  if (argv[0] == nullptr || argv[1] == nullptr || std::string_view(argv[1]) != "--media-key") {
    return std::nullopt;
  }
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string client(self, static_cast<std::size_t>(length));
    client = client.substr(0, client.rfind('/') + 1) + "tonvara-key";
    argv[0] = client.data();
    ::execv(client.c_str(), argv);
  }
  std::fputs("tonvara: the media-key client tonvara-key is missing beside this program\n", stderr);
  return 1;
}

// Answers --help, --version and a wrong command line, and refuses to start without a display,
// all before QApplication exists: it would abort with a plug-in message instead. Nothing when the
// program should run.
std::optional<int> answerCommandLine(int argc, char** argv) {
  QCoreApplication probe(argc, argv);
  QCoreApplication::setApplicationName(tonvara::BundleInfo::name());
  QCoreApplication::setApplicationVersion(tonvara::BundleInfo::version());
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sends the keyboard's play/pause, next and previous keys to your music\n"
                     "player from the system tray. Starting it again while it runs shows the\n"
                     "running one's setup window."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Qt's own --help-all would promise Qt's options, which this text does not list.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Shows this help and exits."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Shows the version and exits."));
  const QCommandLineOption restoreKeys(
      QStringLiteral("restore-desktop-keys"),
      QStringLiteral("Puts the desktop's media-key shortcuts back as they were before Tonvara\n"
                     "took them, and exits (1 when they could not be restored)."));
  // Answered by runKeyCommand before this parser runs; listed so that the help tells of it.
  const QCommandLineOption mediaKey(
      QStringLiteral("media-key"),
      QStringLiteral("Hands a media key (play, pause, next, previous, stop, forward or rewind) "
                     "to the running Tonvara, as a desktop keybinding does; with none running, "
                     "gives the desktop its keys back and does what the desktop would do."),
      QStringLiteral("key"));
  parser.addOptions({help, version, restoreKeys, mediaKey});
  for (const QtOption& qt : kQtOptions) {
    QCommandLineOption option(QString::fromLatin1(qt.name));
    option.setValueName(qt.takesValue ? QStringLiteral("value") : QString());
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
    const QString error = parser.errorText().isEmpty()
                              ? QStringLiteral("Unexpected argument '%1'.")
                                    .arg(parser.positionalArguments().constFirst())
                              : parser.errorText();
    std::fprintf(stderr, "tonvara: %s Try 'tonvara --help'.\n", qPrintable(error));
    return 1;
  }
  if (parser.isSet(help)) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("tonvara (%s) %s\n", qPrintable(tonvara::BundleInfo::name()),
                qPrintable(tonvara::BundleInfo::version()));
    return 0;
  }
  if (parser.isSet(restoreKeys)) {
    using namespace tonvara::desktopkeys;
    return restoreSavedDesktopKeys(savedDesktopKeysPath()) ? 0 : 1;
  }
  const QString platform = parser.isSet(QStringLiteral("platform"))
                               ? parser.value(QStringLiteral("platform"))
                               : qEnvironmentVariable("QT_QPA_PLATFORM");
  if (needsDisplayServer(platform) && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !parser.isSet(QStringLiteral("display"))) {
    std::fputs(
        "tonvara: no graphical display to show the tray icon on (neither DISPLAY nor "
        "WAYLAND_DISPLAY is set); start it from a desktop session.\n",
        stderr);
    return 1;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> keyCommand = runKeyCommand(argv)) {
    return *keyCommand;
  }
  if (const std::optional<int> answered = answerCommandLine(argc, argv)) {
    return *answered;
  }
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
  if (const auto exitCode = tonvara::exitCodeUnlessFirst(reopen.claim())) {
    return *exitCode;
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
  tonvara::ui::QtScheduler scheduler;
  tonvara::ui::TrayAvailability tray(scheduler);
  tonvara::ui::watchTrayHosts(tray);

  delegate.attach(&reopen);
  label.followTray(tray, tonvara::ui::trayHint(qEnvironmentVariable("XDG_CURRENT_DESKTOP")));
  return QApplication::exec();
}
