#pragma once

#include <QObject>

namespace tonvara::testing {

// Stands in for a GUI application object: only its state-change signal.
class StateSignalSource : public QObject {
  Q_OBJECT

 signals:
  void applicationStateChanged(Qt::ApplicationState state);
};

}  // namespace tonvara::testing
