#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "Scheduler.h"

namespace tonvara::ui {

// Whether a system tray can show the icon. Qt announces no change, so it is asked every 5 s, but
// only while there is none: an idle Tonvara with its icon in a tray wakes for nothing of this.
// A tray going away is noticed from the desktop's own events instead (see watchTrayHosts).
class TrayAvailability final : public QObject {
  Q_OBJECT

 public:
  using Probe = std::function<bool()>;
  static constexpr Scheduler::Duration kPollInterval{5000};

  // Without a probe, Qt's own answer.
  explicit TrayAvailability(Scheduler& scheduler, Probe probe = {}, QObject* parent = nullptr);
  ~TrayAvailability() override;

  bool isAvailable() const { return available_; }
  // Asks again now: a tray may have come or gone.
  void recheck();

 public slots:
  // Asks again on the next turn, once the platform has taken in the event that prompted it.
  void recheckSoon();

 public:
 signals:
  void changed(bool available);

 private:
  void poll();

  Scheduler& scheduler_;
  Probe probe_;
  bool available_;
  TaskHandle poll_;
  TaskHandle soon_;
};

// Lets `tray` hear of the tray host going away: the panel's tray window being destroyed (X11) or
// the status-notifier host leaving the session bus.
void watchTrayHosts(TrayAvailability& tray);

// One sentence on getting a tray on the desktop XDG_CURRENT_DESKTOP names.
QString trayHint(const QString& currentDesktop);

}  // namespace tonvara::ui
