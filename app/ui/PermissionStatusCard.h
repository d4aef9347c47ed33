#pragma once

#include <QLabel>
#include <QPushButton>

#include "AccessSteps.h"
#include "GlassCard.h"
#include "Symbols.h"

namespace tonvara::ui {

// One row of the status card: symbol, title over detail, and the button when the row has one.
class PermissionStatusRowWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit PermissionStatusRowWidget(QWidget* parent = nullptr);

  void apply(const PermissionStatusRow& row);
  const PermissionStatusRow& row() const { return row_; }

  const SymbolLabel& icon() const { return *icon_; }
  const QLabel& titleLabel() const { return *titleLabel_; }
  const QLabel& detailLabel() const { return *detailLabel_; }
  QPushButton& button() { return *button_; }

 signals:
  void actionTriggered(tonvara::ui::PermissionAction action);

 private:
  PermissionStatusRow row_;
  SymbolLabel* icon_;
  QLabel* titleLabel_;
  QLabel* detailLabel_;
  QPushButton* button_;
};

// Both permissions as rows, Accessibility first, in a card whose stroke sums them up.
class PermissionStatusCard final : public GlassCard {
 public:
  explicit PermissionStatusCard(QWidget* parent = nullptr);

  void apply(const UiModel& model, const AccessTexts& texts = platformTexts());
  // A control of the view's own at the card's foot, such as the player picker.
  void addAccessory(QWidget* accessory);
  PermissionStatusRowWidget& accessibilityRow() { return *accessibility_; }
  PermissionStatusRowWidget& automationRow() { return *automation_; }

 private:
  PermissionStatusRowWidget* accessibility_;
  PermissionStatusRowWidget* automation_;
};

}  // namespace tonvara::ui
