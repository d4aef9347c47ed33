#pragma once

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "AccessSteps.h"
#include "GlassCard.h"
#include "Symbols.h"

namespace tonvara::ui {

// Draws one AccessStepCard: the state's symbol, "STEP n" and the title, the detail, and the
// button when the card has one; stroke and dimming follow the state.
class StepCardWidget final : public GlassCard {
  Q_OBJECT

 public:
  explicit StepCardWidget(QWidget* parent = nullptr);

  void apply(const AccessStepCard& card);
  // A control of the view's own under the card's text and button, such as the player picker.
  void addAccessory(QWidget* accessory);
  const AccessStepCard& card() const { return card_; }

  const SymbolLabel& icon() const { return *icon_; }
  const QLabel& stepLabel() const { return *stepLabel_; }
  const QLabel& titleLabel() const { return *titleLabel_; }
  const QLabel& detailLabel() const { return *detailLabel_; }
  QPushButton& button() { return *button_; }
  // The opacity the state asks for; an animation may be on its way to it.
  qreal targetOpacity() const { return stepOpacity(card_.state); }
  QGraphicsOpacityEffect& opacityEffect() { return *opacity_; }

 signals:
  void actionTriggered(tonvara::ui::PermissionAction action);

 private:
  AccessStepCard card_;
  SymbolLabel* icon_;
  QLabel* stepLabel_;
  QLabel* titleLabel_;
  QLabel* detailLabel_;
  QVBoxLayout* text_;
  QWidget* buttonRow_;
  QPushButton* button_;
  QGraphicsOpacityEffect* opacity_;
};

}  // namespace tonvara::ui
