#pragma once

#include <QObject>
#include <QWidget>
#include <functional>

#include "Scheduler.h"

namespace tonvara::ui {

// Watches a content column and reports its natural height whenever its layout changes by more
// than a point. The report comes on a later turn of the event loop, never from inside a layout
// pass, so that resizing in answer to it cannot feed back into the same pass.
class ContentHeightReader final : public QObject {
 public:
  using Measure = std::function<double()>;
  using OnChange = std::function<void(double height)>;

  ContentHeightReader(QWidget& watched, Scheduler& scheduler, Measure measure, OnChange onChange);

  // Asks for a measurement on the next turn (several requests make one).
  void layoutChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void measureAndReport();

  Scheduler& scheduler_;
  Measure measure_;
  OnChange onChange_;
  double lastHeight_ = 0;
  TaskHandle pending_;
};

}  // namespace tonvara::ui
