#include "AccessWindowController.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Backdrop.h"

namespace tonvara::ui {
namespace {

constexpr double kScreenMargin = 80;
constexpr double kNoScreenViewportHeight = 720;
constexpr double kDeadBand = 1.0;
constexpr float kTranslucentBackdropOpacity = 0.88F;

}  // namespace

double maxViewportHeight(std::optional<double> availableScreenHeight) {
  if (!availableScreenHeight) {
    return kNoScreenViewportHeight;
  }
  return std::max(*availableScreenHeight - kScreenMargin, AccessView::kMinViewportHeight);
}

std::optional<double> primaryScreenAvailableHeight() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    return screen->availableGeometry().height();
  }
  return std::nullopt;
}

AccessWindow::AccessWindow(QWidget* content)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      translucent_(windowSystemComposites()) {
  // Must be decided before the native window exists.
  setAttribute(Qt::WA_TranslucentBackground, translucent_);
  // Only the controller changes the window's size; the content never pushes it.
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content, 0, Qt::AlignTop);
}

void AccessWindow::closeEvent(QCloseEvent* event) {
  emit closing();
  QWidget::closeEvent(event);
}

void AccessWindow::paintEvent(QPaintEvent* /*event*/) {
  QColor backdrop = palette().color(QPalette::Window);
  if (translucent_) {
    backdrop.setAlphaF(kTranslucentBackdropOpacity);
  }
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), backdrop);
}

AccessWindowController::AccessWindowController(UiModel& model, Scheduler& scheduler,
                                               AvailableScreenHeight availableScreenHeight,
                                               QObject* parent)
    : QObject(parent),
      model_(&model),
      scheduler_(scheduler),
      availableScreenHeight_(std::move(availableScreenHeight)) {}

AccessWindowController::~AccessWindowController() {
  refreshTimer_.cancel();
  resizeWorkItem_.cancel();
  revealFallback_.cancel();
}

double AccessWindowController::maxViewportHeight() const {
  return ui::maxViewportHeight(availableScreenHeight_());
}

void AccessWindowController::show() {
  if (!model_) {
    return;
  }
  if (!window_) {
    createWindow();
  } else {
    centreWindow();
  }
  if (isPendingInitialReveal_) {
    window_->setWindowOpacity(0.0);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  // No control starts focused.
  window_->setFocus(Qt::OtherFocusReason);
  startRefreshTimer();
  if (isPendingInitialReveal_) {
    // Replaces a stored fallback without cancelling it: whichever reveal runs first does the
    // work, the others find nothing left to do.
    revealFallback_ = scheduler_.after(kRevealFallback, [self = QPointer(this)] {
      if (self) {
        self->revealPendingWindow();
      }
    });
  }
}

void AccessWindowController::createWindow() {
  const double initialHeight = maxViewportHeight();
  view_ = new AccessView(
      *model_, scheduler_, [this] { return maxViewportHeight(); },
      [self = QPointer(this)](double height) {
        if (self) {
          self->scheduleResize(height);
        }
      });
  window_ = std::make_unique<AccessWindow>(view_);
  window_->setWindowTitle(QStringLiteral("Tonvara"));
  window_->setFixedSize(kWidth, qRound(initialHeight));
  connect(window_.get(), &AccessWindow::closing, this, &AccessWindowController::windowWillClose);
  connect(view_, &AccessView::doneRequested, window_.get(), &QWidget::close);
  isPendingInitialReveal_ = true;
  centreWindow();
}

void AccessWindowController::centreWindow() {
  const QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
  if (!screen) {
    return;
  }
  QRect frame = window_->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window_->move(frame.topLeft());
}

void AccessWindowController::scheduleResize(double target) {
  resizeWorkItem_.cancel();
  resizeWorkItem_ = scheduler_.after(kResizeDelay, [self = QPointer(this), target] {
    if (self) {
      self->resizeStep(target);
    }
  });
}

void AccessWindowController::resizeStep(double target) {
  if (!window_) {
    return;
  }
  const double current = window_->height();
  if (std::abs(current - target) > kDeadBand) {
    // Qt keeps a window's top-left corner when it is resized, so the top edge stays put and
    // the window grows or shrinks at the bottom.
    window_->setFixedSize(kWidth, qRound(target));
    if (isPendingInitialReveal_) {
      centreWindow();
    }
  }
  revealPendingWindow();
}

void AccessWindowController::revealPendingWindow() {
  if (!isPendingInitialReveal_) {
    return;
  }
  isPendingInitialReveal_ = false;
  revealFallback_.cancel();
  revealFallback_ = {};
  window_->setWindowOpacity(1.0);
}

void AccessWindowController::startRefreshTimer() {
  if (refreshTimer_.isActive()) {
    return;
  }
  refreshTimer_ = scheduler_.every(kRefreshInterval, [self = QPointer(this)] {
    if (self && self->model_) {
      self->model_->refreshPermissions();
    }
  });
}

void AccessWindowController::windowWillClose() {
  resizeWorkItem_.cancel();
  resizeWorkItem_ = {};
  refreshTimer_.cancel();
  refreshTimer_ = {};
}

}  // namespace tonvara::ui
