#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "AccessView.h"
#include "Scheduler.h"
#include "UiModel.h"

namespace tonvara::ui {

// The height available for the viewport: the screen's usable height less 80 points, at least
// 260; 720 when there is no screen.
double maxViewportHeight(std::optional<double> availableScreenHeight);
// The primary screen's usable height (without panels and docks), if there is a screen.
std::optional<double> primaryScreenAvailableHeight();

// The Access window itself: a fixed-size top-level that reports when it is about to close. Its
// backdrop is translucent where the window system composites, plain elsewhere.
class AccessWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit AccessWindow(QWidget* content);
  bool isTranslucent() const { return translucent_; }

 signals:
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool translucent_;
};

// Creates the Access window once and reuses it. Its height follows the view's content within
// the viewport bounds: reports are debounced for 0.05 s and changes within a point ignored; the
// first resize centres the window, later ones keep its top edge. The window stays invisible until
// its first resize or for at most 0.3 s. While it is open the permissions are refreshed every
// second.
class AccessWindowController final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kWidth = AccessView::kWidth;
  static constexpr Scheduler::Duration kResizeDelay{50};
  static constexpr Scheduler::Duration kRevealFallback{300};
  static constexpr Scheduler::Duration kRefreshInterval{1000};

  using AvailableScreenHeight = std::function<std::optional<double>()>;

  AccessWindowController(UiModel& model, Scheduler& scheduler,
                         AvailableScreenHeight availableScreenHeight = primaryScreenAvailableHeight,
                         QObject* parent = nullptr);
  ~AccessWindowController() override;

  // Creates the window if needed, centres it and brings it to the front. Does nothing once the
  // model is gone.
  void show();
  // Empty until the first show().
  AccessWindow* window() const { return window_.get(); }
  AccessView* view() const { return view_; }
  double maxViewportHeight() const;

  // Resizes the window to a content height 0.05 s from now, replacing a pending resize.
  void scheduleResize(double target);
  bool isPendingInitialReveal() const { return isPendingInitialReveal_; }
  bool isRefreshing() const { return refreshTimer_.isActive(); }

 private:
  void createWindow();
  void centreWindow();
  void resizeStep(double target);
  void revealPendingWindow();
  void startRefreshTimer();
  void windowWillClose();

  QPointer<UiModel> model_;
  Scheduler& scheduler_;
  AvailableScreenHeight availableScreenHeight_;
  std::unique_ptr<AccessWindow> window_;
  AccessView* view_ = nullptr;
  TaskHandle refreshTimer_;
  TaskHandle resizeWorkItem_;
  bool isPendingInitialReveal_ = false;
  TaskHandle revealFallback_;
};

}  // namespace tonvara::ui
