#include "StepCardWidget.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tonvara::ui {
namespace {

constexpr int kIconColumnWidth = 24;

}  // namespace

StepCardWidget::StepCardWidget(QWidget* parent)
    : GlassCard(parent),
      icon_(new SymbolLabel(style::TextStyle::title3)),
      stepLabel_(new QLabel),
      titleLabel_(new QLabel),
      detailLabel_(new QLabel),
      text_(new QVBoxLayout),
      buttonRow_(new QWidget),
      button_(new QPushButton),
      opacity_(new QGraphicsOpacityEffect(this)) {
  icon_->setFixedWidth(kIconColumnWidth);
  style::applyTextLook(*stepLabel_, style::TextStyle::caption2, QFont::Bold, true);
  style::applyTextLook(*titleLabel_, style::TextStyle::body, QFont::DemiBold, false);
  style::applyTextLook(*detailLabel_, style::TextStyle::callout, QFont::Normal, true);
  detailLabel_->setWordWrap(true);

  auto* titleLine = new QHBoxLayout;
  titleLine->setSpacing(7);
  titleLine->addWidget(stepLabel_, 0, Qt::AlignVCenter);
  titleLine->addWidget(titleLabel_, 0, Qt::AlignVCenter);
  titleLine->addStretch();

  auto* buttonLayout = new QHBoxLayout(buttonRow_);
  buttonLayout->setContentsMargins(0, 7, 0, 0);
  buttonLayout->addWidget(button_);
  buttonLayout->addStretch();

  text_->setSpacing(5);
  text_->addLayout(titleLine);
  text_->addWidget(detailLabel_);
  text_->addWidget(buttonRow_);

  auto* row = new QHBoxLayout(this);
  setCardLayoutMargins(*row);
  row->setSpacing(12);
  row->addWidget(icon_, 0, Qt::AlignTop);
  row->addLayout(text_, 1);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

  opacity_->setOpacity(1.0);
  setGraphicsEffect(opacity_);

  connect(button_, &QPushButton::clicked, this, [this] {
    if (card_.action) {
      emit actionTriggered(*card_.action);
    }
  });
}

void StepCardWidget::addAccessory(QWidget* accessory) { text_->addWidget(accessory); }

void StepCardWidget::apply(const AccessStepCard& card) {
  card_ = card;
  icon_->setSymbol(stepSymbol(card.state), stepSymbolTint(card.state));
  stepLabel_->setText(card.stepLabel());
  stepLabel_->setVisible(card.number.has_value());
  titleLabel_->setText(card.title);
  detailLabel_->setText(card.detail);
  if (card.hasButton()) {
    button_->setText(*card.actionTitle);
    style::applyProminentButtonLook(*button_);
  }
  buttonRow_->setVisible(card.hasButton());
  setStroke(stepStroke(card.state));
  opacity_->setOpacity(targetOpacity());
}

}  // namespace tonvara::ui
