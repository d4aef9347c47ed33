#pragma once

#include <QObject>

#include "AppModel.h"

namespace tonvara {

class ReopenChannel;

// Receives the application's life cycle and owns the one model, built before launching ends.
class AppDelegate : public QObject {
  Q_OBJECT

 public:
  explicit AppDelegate(AppModelDependencies dependencies, QObject* parent = nullptr);

  AppModel& model() { return model_; }

  // Starts the model; nothing else.
  void applicationDidFinishLaunching();
  // The user opened the running application again: show the Access window whatever is
  // visible. Returns true so the platform's own handling runs as well.
  bool applicationShouldHandleReopen(bool hasVisibleWindows);

  // Wires the life cycle of a Qt application: launching has finished once the event loop
  // runs, and each request arriving on `reopen` (optional) is a reopen.
  void attach(ReopenChannel* reopen);

 private:
  AppModel model_;
};

}  // namespace tonvara
