#pragma once

#include <QLabel>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "AccessSteps.h"
#include "CapsuleButton.h"
#include "ContentHeightReader.h"
#include "PermissionStatusCard.h"
#include "PlayerPicker.h"
#include "ReducedMotion.h"
#include "Scheduler.h"
#include "StepCardWidget.h"
#include "TraylessSection.h"
#include "UiModel.h"

namespace tonvara::ui {

// The content of the Access window: the numbered setup steps until the setup has been completed
// once, then the permission status with a Done button. Everything shown follows the model on
// each change; the view keeps only its viewport height.
class AccessView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 520;
  static constexpr double kMinViewportHeight = 260;

  using MaxViewportHeight = std::function<double()>;
  using ViewportHeightChange = std::function<void(double height)>;

  AccessView(UiModel& model, Scheduler& scheduler, MaxViewportHeight maxViewportHeight,
             ViewportHeightChange onViewportHeightChange, QWidget* parent = nullptr,
             const AccessTexts& texts = platformTexts());

  // Clamps the content's height to the viewport's bounds and, when that moves the viewport by
  // more than a point, adopts it and reports it.
  void fitViewport(double contentHeight);
  double viewportHeight() const { return viewportHeight_; }

  AccessPresentation presentation() const { return presentation_; }
  // The desktop's wish for less motion, which turns the spring off.
  ReducedMotion& reducedMotion() { return *reducedMotion_; }
  // A spring transition after a permission changed is running.
  bool isAnimating() const;

  // The parts, for the window and for inspection.
  const QLabel& headingTitle() const { return *headingTitle_; }
  const QLabel& headingDetail() const { return *headingDetail_; }
  StepCardWidget& accessibilityCard() { return *accessibilityCard_; }
  StepCardWidget& automationCard() { return *automationCard_; }
  bool isRecoveryShown() const;
  StepCardWidget& recoveryAccessibilityCard() { return *recoveryAccessibilityCard_; }
  StepCardWidget& recoveryAutomationCard() { return *recoveryAutomationCard_; }
  PermissionStatusCard& statusCard() { return *statusCard_; }
  CapsuleButton& doneButton() { return *doneButton_; }
  bool isDoneButtonShown() const;
  QScrollArea& scrollArea() { return *scrollArea_; }
  // The player picker of step 2 and of the status card.
  PlayerPicker& stepPlayerPicker() { return *stepPicker_; }
  PlayerPicker& statusPlayerPicker() { return *statusPicker_; }
  // The by-hand steps for freeing the keys, once asked for; hidden otherwise.
  const QLabel& accessibilitySteps() const { return *stepsText_; }
  bool areAccessibilityStepsShown() const;
  QPushButton& giveKeysBackButton() { return *giveKeysBack_; }
  // The menu's items while no tray shows them; null otherwise.
  const TraylessSection* traylessSection() const { return trayless_; }

 signals:
  // The Done button: close the window.
  void doneRequested();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::array<StepCardWidget*, 4> stepCardWidgets() const {
    return {accessibilityCard_, automationCard_, recoveryAccessibilityCard_,
            recoveryAutomationCard_};
  }
  void render();
  void setHeading(const QString& title, const QString& detail, int topInset);
  // Ends a running transition with every card at its state's opacity.
  void settleCards();
  void animateChange();
  double measureContent() const;
  void runAction(PermissionAction action);
  void showTraylessSection(const UiModel& model);

  QPointer<UiModel> model_;
  const AccessTexts& texts_;
  MaxViewportHeight maxViewportHeight_;
  ViewportHeightChange onViewportHeightChange_;
  ReducedMotion* reducedMotion_;
  double viewportHeight_;
  AccessPresentation presentation_ = AccessPresentation::setup;
  std::optional<bool> shownAccessibility_;
  std::optional<AutomationAccess> shownAutomation_;

  QScrollArea* scrollArea_;
  QWidget* content_;
  QWidget* headingBlock_;
  QLabel* headingTitle_;
  QLabel* headingDetail_;
  QWidget* stepCards_;
  StepCardWidget* accessibilityCard_;
  StepCardWidget* automationCard_;
  QWidget* recovery_;
  StepCardWidget* recoveryAccessibilityCard_;
  StepCardWidget* recoveryAutomationCard_;
  PermissionStatusCard* statusCard_;
  PlayerPicker* stepPicker_;
  PlayerPicker* statusPicker_;
  GlassCard* stepsCard_;
  QLabel* stepsTitle_;
  QLabel* stepsText_;
  bool stepsAsked_ = false;
  QPushButton* giveKeysBack_;
  CapsuleButton* doneButton_;
  QParallelAnimationGroup* transition_;
  ContentHeightReader* heightReader_;
  TraylessSection* trayless_ = nullptr;
};

}  // namespace tonvara::ui
