#pragma once

#include <QPointer>
#include <QSystemTrayIcon>

#include "UiModel.h"

namespace tonvara::ui {

class MenuContent;

// The tray icon: the symbol the model names (interception off, working, or blocked), drawn so
// it reads on the panel (see symbolIcon). Clicking it opens the menu.
class MenuBarLabel final : public QObject {
  Q_OBJECT

 public:
  MenuBarLabel(UiModel& model, MenuContent& menu, QObject* parent = nullptr);

  void show() { tray_.show(); }
  const QString& symbolName() const { return symbolName_; }
  QSystemTrayIcon& trayIcon() { return tray_; }

 private:
  void sync();

  QPointer<UiModel> model_;
  QPointer<MenuContent> menu_;
  QSystemTrayIcon tray_;
  QString symbolName_;
};

}  // namespace tonvara::ui
