#include "MediaKeyHolders.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace tonvara::MediaKeyHolders {

namespace {

struct Holder {
  QString name;
  QString howToFree;
};

const QString& gnomeFix() {
  static const QString text = QStringLiteral(
      "run: gsettings set org.gnome.settings-daemon.plugins.media-keys play-static \"[]\" "
      "(and the same for next-static, previous-static, pause-static, stop-static, "
      "playback-rewind-static and playback-forward-static)");
  return text;
}

const QString& kdeFix() {
  static const QString text = QStringLiteral(
      "clear the media shortcuts (Play/Pause, Next, Previous) in System Settings → Shortcuts");
  return text;
}

const QString& xfceFix() {
  static const QString text = QStringLiteral(
      "untick the multimedia-keys option in the PulseAudio panel plugin's properties");
  return text;
}

// Process names are cut to 15 characters by the kernel, so match on beginnings.
std::optional<Holder> holderFromProcess(const QString& name) {
  if (name.startsWith(QLatin1String("gsd-media-keys"))) {
    return Holder{QStringLiteral("GNOME's media-keys service (gsd-media-keys)"), gnomeFix()};
  }
  if (name.startsWith(QLatin1String("kglobalaccel"))) {
    return Holder{QStringLiteral("KDE's global shortcuts (kglobalaccel)"), kdeFix()};
  }
  if ((name.startsWith(QLatin1String("panel-")) && name.contains(QLatin1String("pulse"))) ||
      name.startsWith(QLatin1String("xfce4-volumed"))) {
    return Holder{QStringLiteral("Xfce's PulseAudio panel plugin"), xfceFix()};
  }
  return std::nullopt;
}

std::optional<Holder> holderFromDesktop(const QString& desktop) {
  const auto names = desktop.split(u':', Qt::SkipEmptyParts);
  const auto namesContain = [&](const char* name) {
    return names.contains(QLatin1String(name), Qt::CaseInsensitive);
  };
  if (namesContain("GNOME")) {
    return Holder{QStringLiteral("GNOME"), gnomeFix()};
  }
  if (namesContain("KDE")) {
    return Holder{QStringLiteral("KDE Plasma"), kdeFix()};
  }
  if (namesContain("XFCE")) {
    return Holder{QStringLiteral("Xfce"), xfceFix()};
  }
  return std::nullopt;
}

}  // namespace

Session currentSession() {
  Session session{
      {}, qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariable("XDG_SESSION_TYPE")};
  const auto pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  const uint user = ::geteuid();
  for (const auto& pid : pids) {
    // Another user's session holds nothing of this one's keys.
    if (QFileInfo(QStringLiteral("/proc/") + pid).ownerId() != user) {
      continue;
    }
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly)) {
      session.processNames << QString::fromUtf8(comm.readAll()).trimmed();
    }
  }
  return session;
}

Advice adviceFor(const Session& session) {
  const QString title = QStringLiteral("Tonvara can't take the media keys");
  if (session.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0) {
    return {title, QStringLiteral(
                       "This is a Wayland session, which gives no program global media keys "
                       "the way Tonvara takes them. Log in to an X11 (Xorg) session to use it.")};
  }
  for (const auto& name : session.processNames) {
    if (const auto holder = holderFromProcess(name)) {
      return {
          title,
          QStringLiteral("%1 holds them. To free them, %2.").arg(holder->name, holder->howToFree)};
    }
  }
  if (const auto holder = holderFromDesktop(session.currentDesktop)) {
    return {title, QStringLiteral("Another program holds them, probably %1's own shortcuts. "
                                  "To free them, %2.")
                       .arg(holder->name, holder->howToFree)};
  }
  return {title,
          QStringLiteral("Another program holds them. Remove the Play/Pause, Next and Previous "
                         "shortcuts in your desktop's keyboard settings, or quit the program "
                         "that uses them.")};
}

}  // namespace tonvara::MediaKeyHolders
