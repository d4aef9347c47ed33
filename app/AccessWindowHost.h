#pragma once

// Both layers name their controller header alike: reach each through its folder.
#include "core/AccessWindowController.h"
#include "ui/AccessWindowController.h"

namespace tonvara {

// The model's Access window controller on Qt widgets: the window, its view and the timers they
// run on, made once and kept.
class AccessWindowHost final : public AccessWindowController {
 public:
  explicit AccessWindowHost(ui::UiModel& model);
  ~AccessWindowHost() override;

  void show() override { controller_.show(); }
  ui::AccessWindowController& controller() { return controller_; }

 private:
  // Declared first: the controller schedules on it until the controller is gone.
  ui::QtScheduler scheduler_;
  ui::AccessWindowController controller_;
};

}  // namespace tonvara
