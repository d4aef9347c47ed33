#include "AccessView.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "KeyTakeoverDialog.h"
#include "MenuContent.h"
#include "Spring.h"

namespace tonvara::ui {
namespace {

constexpr double kDeadBand = 1.0;
constexpr int kColumnSpacing = 18;
constexpr int kCardSpacing = 14;

qreal springEasing(qreal progress) { return criticallyDampedSpring(progress); }

QLabel* makeLabel(style::TextStyle textStyle, QFont::Weight weight, bool secondary) {
  auto* label = new QLabel;
  style::applyTextLook(*label, textStyle, weight, secondary);
  label->setWordWrap(true);
  return label;
}

QVBoxLayout* column(QWidget* owner, int spacing) {
  auto* layout = new QVBoxLayout(owner);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

}  // namespace

AccessView::AccessView(UiModel& model, Scheduler& scheduler, MaxViewportHeight maxViewportHeight,
                       ViewportHeightChange onViewportHeightChange, QWidget* parent,
                       const AccessTexts& texts)
    : QWidget(parent),
      model_(&model),
      texts_(texts),
      maxViewportHeight_(std::move(maxViewportHeight)),
      onViewportHeightChange_(std::move(onViewportHeightChange)),
      reducedMotion_(new ReducedMotion(this)),
      viewportHeight_(maxViewportHeight_()),
      scrollArea_(new QScrollArea),
      content_(new QWidget),
      headingBlock_(new QWidget),
      headingTitle_(makeLabel(style::TextStyle::title2, QFont::DemiBold, false)),
      headingDetail_(makeLabel(style::TextStyle::callout, QFont::Normal, true)),
      stepCards_(new QWidget),
      accessibilityCard_(new StepCardWidget),
      automationCard_(new StepCardWidget),
      recovery_(new QWidget),
      recoveryAccessibilityCard_(new StepCardWidget),
      recoveryAutomationCard_(new StepCardWidget),
      statusCard_(new PermissionStatusCard),
      stepPicker_(new PlayerPicker(model, texts)),
      statusPicker_(new PlayerPicker(model, texts)),
      stepsCard_(new GlassCard),
      stepsTitle_(makeLabel(style::TextStyle::body, QFont::DemiBold, false)),
      stepsText_(makeLabel(style::TextStyle::callout, QFont::Normal, true)),
      giveKeysBack_(new QPushButton),
      doneButton_(new CapsuleButton(QStringLiteral("Done"))),
      transition_(new QParallelAnimationGroup(this)) {
  auto* heading = column(headingBlock_, 5);
  heading->addWidget(headingTitle_);
  heading->addWidget(headingDetail_);

  auto* numbered = column(stepCards_, kCardSpacing);
  numbered->addWidget(accessibilityCard_);
  numbered->addWidget(automationCard_);

  auto* recovery = column(recovery_, kCardSpacing);
  auto* headline = makeLabel(style::TextStyle::headline, QFont::DemiBold, false);
  headline->setText(QStringLiteral("Permission needs attention"));
  recovery->addWidget(headline);
  recovery->addWidget(recoveryAccessibilityCard_);
  recovery->addWidget(recoveryAutomationCard_);

  automationCard_->addAccessory(stepPicker_);
  statusCard_->addAccessory(statusPicker_);
  auto* steps = column(stepsCard_, 5);
  steps->setContentsMargins(style::kCardInset, style::kCardInset, style::kCardInset,
                            style::kCardInset);
  stepsText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  steps->addWidget(stepsTitle_);
  steps->addWidget(stepsText_);
  style::applyBorderedButtonLook(*giveKeysBack_);
  connect(giveKeysBack_, &QPushButton::clicked, this, [this] {
    if (model_) model_->giveKeysBack();
  });

  auto* contents = new QVBoxLayout(content_);
  contents->setContentsMargins(28, 28, 28, 22);
  contents->setSpacing(kColumnSpacing);
  contents->addWidget(headingBlock_);
  contents->addWidget(stepCards_);
  contents->addWidget(recovery_);
  contents->addWidget(statusCard_);
  contents->addWidget(stepsCard_);
  contents->addWidget(giveKeysBack_, 0, Qt::AlignLeft);
  contents->addWidget(doneButton_);
  contents->addStretch(1);
  scrollArea_->setWidget(content_);
  // The window's backdrop shows through the scroll area and the column.
  content_->setAutoFillBackground(false);
  scrollArea_->setWidgetResizable(true);
  scrollArea_->setFrameShape(QFrame::NoFrame);
  scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scrollArea_->viewport()->setAutoFillBackground(false);
  scrollArea_->setFixedSize(kWidth, qRound(viewportHeight_));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scrollArea_, 0, Qt::AlignTop | Qt::AlignHCenter);
  setFixedWidth(kWidth);

  for (StepCardWidget* card : stepCardWidgets()) {
    connect(card, &StepCardWidget::actionTriggered, this, &AccessView::runAction);
  }
  for (PermissionStatusRowWidget* row :
       {&statusCard_->accessibilityRow(), &statusCard_->automationRow()}) {
    connect(row, &PermissionStatusRowWidget::actionTriggered, this, &AccessView::runAction);
  }
  connect(doneButton_, &QAbstractButton::clicked, this, &AccessView::doneRequested);
  connect(&model, &UiModel::stateChanged, this, &AccessView::render);
  connect(reducedMotion_, &ReducedMotion::changed, this, [this](bool reduced) {
    if (reduced) {
      settleCards();
    }
  });

  heightReader_ = new ContentHeightReader(
      *content_, scheduler, [this] { return measureContent(); },
      [this](double height) { fitViewport(height); });
  render();
}

bool AccessView::isAnimating() const { return transition_->state() == QAbstractAnimation::Running; }

bool AccessView::isRecoveryShown() const { return !recovery_->isHidden(); }

bool AccessView::areAccessibilityStepsShown() const { return !stepsCard_->isHidden(); }

bool AccessView::isDoneButtonShown() const { return !doneButton_->isHidden(); }

void AccessView::fitViewport(double contentHeight) {
  const double target = std::min(std::max(contentHeight, kMinViewportHeight), maxViewportHeight_());
  if (std::abs(viewportHeight_ - target) <= kDeadBand) {
    return;
  }
  viewportHeight_ = target;
  scrollArea_->setFixedHeight(qRound(target));
  if (onViewportHeightChange_) {
    onViewportHeightChange_(target);
  }
}

void AccessView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (model_) {
    model_->refreshPermissions();
  }
}

void AccessView::setHeading(const QString& title, const QString& detail, int topInset) {
  headingTitle_->setText(title);
  headingDetail_->setText(detail);
  headingBlock_->layout()->setContentsMargins(0, topInset, 0, 0);
}

void AccessView::render() {
  if (!model_) {
    return;
  }
  const UiModel& model = *model_;
  presentation_ = presentationFor(model);
  const bool setup = presentation_ == AccessPresentation::setup;

  if (setup) {
    setHeading(QStringLiteral("Set up Tonvara"), say(texts_.setupDetail, model, texts_), 0);
  } else {
    setHeading(QStringLiteral("Permissions"), say(texts_.statusDetail, model, texts_), 4);
  }
  accessibilityCard_->apply(accessibilityStep(model, true, texts_));
  automationCard_->apply(automationStep(model, true, texts_));
  recoveryAccessibilityCard_->apply(accessibilityStep(model, false, texts_));
  recoveryAutomationCard_->apply(automationStep(model, false, texts_));
  statusCard_->apply(model, texts_);
  stepPicker_->apply();
  statusPicker_->apply();
  stepsTitle_->setText(texts_.stepsTitle);
  stepsText_->setText(model.accessibilitySteps());
  stepsCard_->setVisible(stepsAsked_ && !model.hasAccessibility() &&
                         !model.accessibilitySteps().isEmpty());
  giveKeysBack_->setText(say(texts_.giveKeysBack, model, texts_));
  giveKeysBack_->setVisible(model.holdsDesktopKeys());
  showTraylessSection(model);

  stepCards_->setVisible(setup);
  // The recovery section belongs to the status layout: during the setup the numbered steps
  // already show both permissions.
  recovery_->setVisible(!setup && model.needsAttention());
  statusCard_->setVisible(!setup);
  doneButton_->setVisible(!setup && model.accessSetupCompleted());

  const bool permissionsChanged =
      (shownAccessibility_ && *shownAccessibility_ != model.hasAccessibility()) ||
      (shownAutomation_ && *shownAutomation_ != model.automationStatus());
  shownAccessibility_ = model.hasAccessibility();
  shownAutomation_ = model.automationStatus();
  if (permissionsChanged) {
    settleCards();
    if (!reducedMotion_->isReduced()) {
      animateChange();
    }
  }
  heightReader_->layoutChanged();
}

void AccessView::settleCards() {
  transition_->stop();
  transition_->clear();
  for (StepCardWidget* card : stepCardWidgets()) {
    card->opacityEffect().setOpacity(card->targetOpacity());
  }
}

void AccessView::animateChange() {
  // Where the platform cannot morph one card into the next, the cards settle into their new
  // look with a fade on the spring.
  QEasingCurve spring;
  spring.setCustomType(springEasing);
  for (StepCardWidget* card : stepCardWidgets()) {
    if (!card->isVisibleTo(this)) {
      continue;
    }
    auto* fade = new QPropertyAnimation(&card->opacityEffect(), "opacity");
    fade->setStartValue(card->targetOpacity() * 0.3);
    fade->setEndValue(card->targetOpacity());
    fade->setDuration(static_cast<int>(kSpringDuration.count()));
    fade->setEasingCurve(spring);
    transition_->addAnimation(fade);
  }
  if (transition_->animationCount() > 0) {
    transition_->start();
  }
}

double AccessView::measureContent() const {
  QLayout* layout = content_->layout();
  int width = kWidth;
  if (scrollArea_->verticalScrollBar()->isVisible()) {
    width -= scrollArea_->verticalScrollBar()->width();
  }
  return layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                     : layout->totalSizeHint().height();
}

void AccessView::showTraylessSection(const UiModel& model) {
  MenuContent* menu = model.traylessMenu();
  if (menu == (trayless_ ? trayless_->menu() : nullptr)) {
    return;
  }
  if (trayless_) {
    // Later: the click that got here may come from one of its buttons.
    trayless_->hide();
    trayless_->deleteLater();
    trayless_ = nullptr;
  }
  if (menu) {
    trayless_ = new TraylessSection(*menu, model.trayHint());
    static_cast<QVBoxLayout*>(content_->layout())->insertWidget(1, trayless_);
  }
}

void AccessView::runAction(PermissionAction action) {
  if (!model_) {
    return;
  }
  switch (action) {
    case PermissionAction::showAccessibilitySteps:
      stepsAsked_ = true;
      render();
      return;
    case PermissionAction::confirmKeyTakeover:
      confirmKeyTakeover(*model_, texts_, *this);
      return;
    default:
      perform(action, *model_);
  }
}

}  // namespace tonvara::ui
