#include "ContentHeightReader.h"

#include <QEvent>
#include <QPointer>
#include <cmath>

namespace tonvara::ui {
namespace {

// Changes within a point are layout noise and would make the window twitch.
constexpr double kDeadBand = 1.0;

}  // namespace

ContentHeightReader::ContentHeightReader(QWidget& watched, Scheduler& scheduler, Measure measure,
                                         OnChange onChange)
    : QObject(&watched),
      scheduler_(scheduler),
      measure_(std::move(measure)),
      onChange_(std::move(onChange)) {
  watched.installEventFilter(this);
}

void ContentHeightReader::layoutChanged() {
  if (pending_.isActive()) {
    return;
  }
  pending_ = scheduler_.after(Scheduler::Duration::zero(), [self = QPointer(this)] {
    if (self) {
      self->measureAndReport();
    }
  });
}

bool ContentHeightReader::eventFilter(QObject* /*watched*/, QEvent* event) {
  switch (event->type()) {
    case QEvent::LayoutRequest:
    case QEvent::Resize:
    case QEvent::Show:
      layoutChanged();
      break;
    default:
      break;
  }
  return false;
}

void ContentHeightReader::measureAndReport() {
  const double height = measure_();
  if (height > 0 && std::abs(height - lastHeight_) > kDeadBand) {
    lastHeight_ = height;
    if (onChange_) {
      onChange_(height);
    }
  }
}

}  // namespace tonvara::ui
