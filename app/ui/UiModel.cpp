#include "UiModel.h"

#include <QCoreApplication>

#include "AboutBox.h"
#include "MenuContent.h"

namespace tonvara::ui {

void UiModel::showAbout() { showStandardAboutBox(); }

void UiModel::quit() { QCoreApplication::quit(); }

MenuContent* UiModel::traylessMenu() const {
  return static_cast<MenuContent*>(traylessMenu_.data());
}

void UiModel::setTrayless(MenuContent* menu, const QString& hint) {
  traylessMenu_ = menu;
  trayHint_ = menu ? hint : QString();
  emit stateChanged();
}

}  // namespace tonvara::ui
