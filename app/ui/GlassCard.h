#pragma once

#include <QLayout>
#include <QWidget>
#include <optional>

#include "Style.h"

namespace tonvara::ui {

// The card look: content inset 16 points in a continuous-corner rectangle of radius 18 filled
// with the translucent material. With a stroke colour the edge is drawn 1.5 points wide in it;
// without one the material's neutral edge, white at 8 % and 1 point wide. Strokes lie inside
// the shape. Lay content out in the card's own layout.
class GlassCard : public QWidget {
 public:
  explicit GlassCard(QWidget* parent = nullptr);

  void setStroke(std::optional<style::Tint> stroke);
  std::optional<style::Tint> stroke() const { return stroke_; }
  // What is drawn along the edge for the current stroke and palette.
  qreal strokeWidth() const;
  QColor strokeColor() const;

 protected:
  // The card's content sits 16 points inside every edge.
  static void setCardLayoutMargins(QLayout& layout);
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<style::Tint> stroke_;
};

}  // namespace tonvara::ui
