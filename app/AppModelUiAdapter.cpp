#include "AppModelUiAdapter.h"

#include "Permissions.h"
#include "Updater.h"

namespace tonvara {

AppModelUiAdapter::AppModelUiAdapter(AppModel& model, QObject* parent)
    : ui::UiModel(parent), model_(model) {
  connect(&model_, &AppModel::stateChanged, this, &ui::UiModel::stateChanged);
}

void AppModelUiAdapter::openAccessibilitySettings() {
  Permissions::open(QString::fromLatin1(Permissions::kAccessibilityPaneAddress));
}

void AppModelUiAdapter::openAutomationSettings() {
  Permissions::open(QString::fromLatin1(Permissions::kAutomationPaneAddress));
}

void AppModelUiAdapter::checkForUpdates() {
  // A tray program has no application to bring forward on X11; the box that shows the result
  // raises itself when it opens.
  model_.updater().checkForUpdates();
}

}  // namespace tonvara
