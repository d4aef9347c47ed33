#include "ApplicationStateObserver.h"

#include <QMetaMethod>

namespace tonvara {

ApplicationStateObserver::ApplicationStateObserver(QObject* source, std::function<void()> onActive,
                                                   QObject* parent)
    : QObject(parent), onActive_(std::move(onActive)) {
  if (source == nullptr) {
    return;
  }
  const QMetaObject* type = source->metaObject();
  const int signal = type->indexOfSignal("applicationStateChanged(Qt::ApplicationState)");
  const int slot = metaObject()->indexOfSlot("applicationStateChanged(Qt::ApplicationState)");
  if (signal >= 0 && slot >= 0) {
    connect(source, type->method(signal), this, metaObject()->method(slot));
  }
}

void ApplicationStateObserver::applicationStateChanged(Qt::ApplicationState state) {
  if (state == Qt::ApplicationActive && onActive_) {
    onActive_();
  }
}

}  // namespace tonvara
