#include "GlassCard.h"

#include <QLayout>
#include <QPainter>

namespace tonvara::ui {

GlassCard::GlassCard(QWidget* parent) : QWidget(parent) {}

void GlassCard::setCardLayoutMargins(QLayout& layout) {
  layout.setContentsMargins(style::kCardInset, style::kCardInset, style::kCardInset,
                            style::kCardInset);
}

void GlassCard::setStroke(std::optional<style::Tint> stroke) {
  if (stroke != stroke_) {
    stroke_ = stroke;
    update();
  }
}

qreal GlassCard::strokeWidth() const {
  return stroke_ ? style::kColouredStrokeWidth : style::kNeutralStrokeWidth;
}

QColor GlassCard::strokeColor() const {
  if (stroke_) {
    return style::color(*stroke_, palette());
  }
  QColor neutral(Qt::white);
  neutral.setAlphaF(static_cast<float>(style::kNeutralStrokeOpacity));
  return neutral;
}

void GlassCard::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF shape = rect();
  painter.fillPath(style::continuousRoundedRect(shape, style::kCardCornerRadius),
                   style::cardMaterial(palette()));

  // Stroke along the inside of the edge: the path is inset by half the line width.
  const qreal width = strokeWidth();
  QPen pen(strokeColor(), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  pen.setMiterLimit(5.0);  // Qt counts from the join point: a miter ratio of 10
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const qreal half = width / 2;
  painter.drawPath(style::continuousRoundedRect(shape.adjusted(half, half, -half, -half),
                                                style::kCardCornerRadius - half));
}

}  // namespace tonvara::ui
