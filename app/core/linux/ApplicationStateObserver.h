#pragma once

#include <QObject>
#include <functional>

namespace tonvara {

// Calls a handler each time the application becomes active. The application state belongs to
// Qt's GUI application; this core links none, so the signal is found at run time on `source`
// (the application object) and a core-only application simply never becomes active.
class ApplicationStateObserver : public QObject {
  Q_OBJECT

 public:
  ApplicationStateObserver(QObject* source, std::function<void()> onActive,
                           QObject* parent = nullptr);

 private slots:
  void applicationStateChanged(Qt::ApplicationState state);

 private:
  std::function<void()> onActive_;
};

}  // namespace tonvara
