#include "Scheduler.h"

#include <QPointer>
#include <QTimer>

namespace tonvara::ui {

void TaskHandle::cancel() {
  if (!state_ || state_->cancelled || state_->finished) {
    return;
  }
  state_->cancelled = true;
  if (auto stop = std::move(state_->onCancel)) {
    stop();
  }
}

bool TaskHandle::isActive() const { return state_ && !state_->cancelled && !state_->finished; }

TaskHandle QtScheduler::after(Duration delay, Job job) {
  auto state = std::make_shared<TaskHandle::State>();
  QTimer::singleShot(delay, Qt::PreciseTimer, &context_, [state, job = std::move(job)] {
    if (state->cancelled) {
      return;
    }
    state->finished = true;
    job();
  });
  return TaskHandle::make(state);
}

TaskHandle QtScheduler::every(Duration interval, Job job) {
  auto state = std::make_shared<TaskHandle::State>();
  // Owned by the context object; cancelling deletes it.
  QPointer<QTimer> timer = new QTimer(&context_);
  timer->setInterval(interval);
  QObject::connect(timer, &QTimer::timeout, timer, [state, job = std::move(job)] {
    if (!state->cancelled) {
      job();
    }
  });
  state->onCancel = [timer] {
    if (timer) {
      timer->stop();
      timer->deleteLater();
    }
  };
  timer->start();
  return TaskHandle::make(state);
}

}  // namespace tonvara::ui
