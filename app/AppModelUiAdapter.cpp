#include "AppModelUiAdapter.h"

#include <QMetaProperty>

#include "Permissions.h"
#include "Updater.h"

namespace tonvara {

AppModelUiAdapter::AppModelUiAdapter(AppModel& model, QObject* parent)
    : ui::UiModel(parent), model_(model) {
  // Every property's own change signal, so that none can be missed by the widgets.
  const QMetaObject& meta = AppModel::staticMetaObject;
  const QMetaMethod publish =
      staticMetaObject.method(staticMetaObject.indexOfSlot("schedulePublish()"));
  for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
    if (const QMetaProperty property = meta.property(i); property.hasNotifySignal()) {
      connect(&model_, property.notifySignal(), this, publish, Qt::UniqueConnection);
    }
  }
}

void AppModelUiAdapter::schedulePublish() {
  if (publishPending_) {
    return;
  }
  publishPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        publishPending_ = false;
        emit stateChanged();
      },
      Qt::QueuedConnection);
}

QList<ui::MusicAppChoice> AppModelUiAdapter::musicAppChoices() const {
  QList<ui::MusicAppChoice> choices;
  for (const auto& app : model_.musicAppChoices()) {
    choices.append({app.id, app.name});
  }
  return choices;
}

void AppModelUiAdapter::openAccessibilitySettings() {
  Permissions::open(QString::fromLatin1(Permissions::kAccessibilityPaneAddress));
}

void AppModelUiAdapter::openAutomationSettings() {
  Permissions::open(QString::fromLatin1(Permissions::kAutomationPaneAddress));
}

std::optional<ui::KeyTakeover> AppModelUiAdapter::keyTakeover() const {
  const auto text = model_.keyTakeover();
  return text ? std::optional(ui::KeyTakeover{text->holder, text->changes, text->undo})
              : std::nullopt;
}

void AppModelUiAdapter::checkForUpdates() {
  // A tray program has no application to bring forward on X11; the box that shows the result
  // raises itself when it opens.
  model_.updater().checkForUpdates();
}

}  // namespace tonvara
