#pragma once

#include <QPointer>
#include <QSystemTrayIcon>

#include "UiModel.h"

namespace tonvara::ui {

class MenuContent;
class TrayAvailability;

// The tray icon: the symbol the model names (interception off, working, or blocked), drawn so
// it reads on the panel (see symbolIcon). Clicking it opens the menu.
class MenuBarLabel final : public QObject {
  Q_OBJECT

 public:
  MenuBarLabel(UiModel& model, MenuContent& menu, QObject* parent = nullptr);

  void show() { tray_.show(); }
  // Shows the icon while a tray can show it. Without one, the Access window opens and offers the
  // menu's items; `hint` (how to get a tray) is said with the first such opening only.
  void followTray(TrayAvailability& tray, const QString& hint);
  const QString& symbolName() const { return symbolName_; }
  QSystemTrayIcon& trayIcon() { return tray_; }

 private:
  void sync();
  void trayChanged(bool available);

  QPointer<UiModel> model_;
  QPointer<MenuContent> menu_;
  QSystemTrayIcon tray_;
  QString symbolName_;
  QString trayHint_;
};

}  // namespace tonvara::ui
