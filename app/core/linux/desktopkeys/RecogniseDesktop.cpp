#include <algorithm>

#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

namespace {

bool names(const MediaKeyHolders::Session& session, const char* desktop) {
  return session.currentDesktop.split(u':', Qt::SkipEmptyParts)
      .contains(QLatin1String(desktop), Qt::CaseInsensitive);
}

bool runs(const MediaKeyHolders::Session& session, const char* process) {
  return std::any_of(
      session.processNames.begin(), session.processNames.end(),
      [process](const QString& name) { return name.startsWith(QLatin1String(process)); });
}

bool onWayland(const MediaKeyHolders::Session& session) {
  return session.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

// Cinnamon's and MATE's settings daemons hand the keys to the latest grabber themselves. Where
// that grab is the only way the keys arrive (Wayland), clearing their shortcuts would leave the
// daemon nothing to hand over: no setting changes there.
class GrabOnlyHolder final : public DesktopKeyHolder {
 public:
  explicit GrabOnlyHolder(std::unique_ptr<DesktopKeyHolder> desktop)
      : desktop_(std::move(desktop)) {}

  QString id() const override { return desktop_->id(); }
  TakeoverText text() const override {
    TakeoverText text = desktop_->text();
    text.changes = QStringLiteral(
                       "No setting changes: while Tonvara holds the keys, %1 sends them to "
                       "Tonvara instead of a player.")
                       .arg(text.holder);
    text.undo = QStringLiteral("Give the Keys Back in this window, or quit Tonvara.");
    return text;
  }
  std::optional<QJsonObject> read() override { return QJsonObject{}; }
  bool release() override { return true; }
  bool restore(const QJsonObject& /*saved*/) override { return true; }

 private:
  std::unique_ptr<DesktopKeyHolder> desktop_;
};

std::unique_ptr<DesktopKeyHolder> grabbedThrough(std::unique_ptr<DesktopKeyHolder> holder,
                                                 const MediaKeyHolders::Session& session) {
  if (!holder || !onWayland(session)) {
    return holder;
  }
  return std::make_unique<GrabOnlyHolder>(std::move(holder));
}

}  // namespace

std::optional<RecognisedDesktop> recogniseDesktop(const MediaKeyHolders::Session& session,
                                                  const QString& keyCommand) {
  enum class Family { cinnamon, mate, gnome, kde, xfce };
  struct Sign {
    Family family;
    const char* desktopName;  // as XDG_CURRENT_DESKTOP names it
    const char* process;      // its key daemon's process name; nullptr when it has none to look for
  };
  // Cinnamon and MATE name GNOME too on some systems: look at them first.
  static constexpr Sign kSigns[] = {
      {Family::cinnamon, "X-Cinnamon", "csd-media-keys"},
      {Family::mate, "MATE", "mate-settings-d"},
      {Family::gnome, "GNOME", "gsd-media-keys"},
      {Family::kde, "KDE", "kglobalaccel"},
      {Family::xfce, "XFCE", nullptr},
  };
  // The session's own name wins over the processes seen: those may be another session's.
  std::optional<Family> family;
  for (const Sign& sign : kSigns) {
    if (!family && names(session, sign.desktopName)) {
      family = sign.family;
    }
  }
  for (const Sign& sign : kSigns) {
    if (!family && sign.process != nullptr && runs(session, sign.process)) {
      family = sign.family;
    }
  }
  if (!family) {
    return std::nullopt;
  }
  switch (*family) {
    case Family::cinnamon:
      return RecognisedDesktop{
          grabbedThrough(makeCinnamonHolder(), session),
          makeMediaPlayerKeysChannel(QStringLiteral("org.gnome.SettingsDaemon"),
                                     QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys"),
                                     QStringLiteral("org.gnome.SettingsDaemon.MediaKeys"))};
    case Family::mate:
      return RecognisedDesktop{
          grabbedThrough(makeMateHolder(), session),
          makeMediaPlayerKeysChannel(QStringLiteral("org.mate.SettingsDaemon"),
                                     QStringLiteral("/org/mate/SettingsDaemon/MediaKeys"),
                                     QStringLiteral("org.mate.SettingsDaemon.MediaKeys"))};
    case Family::gnome:
      return RecognisedDesktop{makeGnomeHolder(), makeGnomeKeybindingChannel(keyCommand)};
    case Family::kde:
      return RecognisedDesktop{makeKdeHolder(), makeKdeComponentChannel()};
    case Family::xfce:
      // Xfce has no Wayland session to deliver keys in; the X11 grab takes them once freed.
      return RecognisedDesktop{makeXfceHolder(), nullptr};
  }
  return std::nullopt;
}

}  // namespace tonvara::desktopkeys
