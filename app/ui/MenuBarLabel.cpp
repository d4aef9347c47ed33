#include "MenuBarLabel.h"

#include <QCursor>
#include <utility>

#include "MenuContent.h"
#include "Symbols.h"
#include "TrayAvailability.h"

namespace tonvara::ui {

MenuBarLabel::MenuBarLabel(UiModel& model, MenuContent& menu, QObject* parent)
    : QObject(parent), model_(&model), menu_(&menu) {
  tray_.setToolTip(QStringLiteral("Tonvara"));
  tray_.setContextMenu(&menu);
#ifndef Q_OS_MACOS
  // Linux trays differ: some open the context menu only on a right click. A left click opens
  // it too. (The macOS status item opens it on any click by itself.)
  connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger && menu_ && !menu_->isVisible()) {
      menu_->popup(QCursor::pos());
    }
  });
#endif
  connect(&model, &UiModel::stateChanged, this, &MenuBarLabel::sync);
  sync();
}

void MenuBarLabel::followTray(TrayAvailability& tray, const QString& hint) {
  trayHint_ = hint;
  connect(&tray, &TrayAvailability::changed, this, &MenuBarLabel::trayChanged);
  trayChanged(tray.isAvailable());
}

void MenuBarLabel::trayChanged(bool available) {
  if (!model_ || !menu_) {
    return;
  }
  tray_.setVisible(available);
  if (available) {
    model_->setTrayless(nullptr, {});
    return;
  }
  model_->setTrayless(menu_, std::exchange(trayHint_, QString()));
  model_->showAccessWindow();
}

void MenuBarLabel::sync() {
  if (!model_) {
    return;
  }
  const QString name = model_->menuBarSymbolName();
  if (name == symbolName_) {
    return;
  }
  symbolName_ = name;
  QIcon icon = symbolIcon(name);
#ifdef Q_OS_MACOS
  // A template image: the menu bar tints it for its own appearance.
  icon.setIsMask(true);
#endif
  tray_.setIcon(icon);
}

}  // namespace tonvara::ui
