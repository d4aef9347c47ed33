#include "PermissionStatusCard.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tonvara::ui {
namespace {

constexpr int kIconColumnWidth = 24;

}  // namespace

PermissionStatusRowWidget::PermissionStatusRowWidget(QWidget* parent)
    : QWidget(parent),
      icon_(new SymbolLabel(style::TextStyle::title3)),
      titleLabel_(new QLabel),
      detailLabel_(new QLabel),
      button_(new QPushButton) {
  icon_->setFixedWidth(kIconColumnWidth);
  icon_->setAlignment(Qt::AlignCenter);
  style::applyTextLook(*titleLabel_, style::TextStyle::body, QFont::DemiBold, false);
  style::applyTextLook(*detailLabel_, style::TextStyle::callout, QFont::Normal, true);

  auto* text = new QVBoxLayout;
  text->setSpacing(2);
  text->addWidget(titleLabel_);
  text->addWidget(detailLabel_);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(icon_, 0, Qt::AlignVCenter);
  layout->addLayout(text);
  layout->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::MinimumExpanding));
  layout->addWidget(button_, 0, Qt::AlignVCenter);

  connect(button_, &QPushButton::clicked, this, [this] {
    if (row_.action) {
      emit actionTriggered(*row_.action);
    }
  });
}

void PermissionStatusRowWidget::apply(const PermissionStatusRow& row) {
  row_ = row;
  icon_->setSymbol(row.symbol, row.color);
  titleLabel_->setText(row.title);
  detailLabel_->setText(row.detail);
  if (row.hasButton()) {
    button_->setText(*row.actionTitle);
    style::applyBorderedButtonLook(*button_);
  }
  button_->setVisible(row.hasButton());
}

PermissionStatusCard::PermissionStatusCard(QWidget* parent)
    : GlassCard(parent),
      accessibility_(new PermissionStatusRowWidget),
      automation_(new PermissionStatusRowWidget) {
  auto* divider = new QFrame;
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Plain);
  divider->setFixedHeight(1);
  QPalette dividerPalette = divider->palette();
  dividerPalette.setColor(QPalette::WindowText,
                          style::color(style::Tint::secondary, dividerPalette).lighter(130));
  divider->setPalette(dividerPalette);

  auto* layout = new QVBoxLayout(this);
  setCardLayoutMargins(*layout);
  layout->setSpacing(12);
  layout->addWidget(accessibility_);
  layout->addWidget(divider);
  layout->addWidget(automation_);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void PermissionStatusCard::addAccessory(QWidget* accessory) { layout()->addWidget(accessory); }

void PermissionStatusCard::apply(const UiModel& model, const AccessTexts& texts) {
  accessibility_->apply(accessibilityPermissionStatus(model, texts));
  automation_->apply(automationPermissionStatus(model, texts));
  setStroke(permissionStatusStroke(model));
}

}  // namespace tonvara::ui
