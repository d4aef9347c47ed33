#pragma once

#include <QAbstractButton>

namespace tonvara::ui {

// The primary button: a white semibold title on a full-width capsule filled with the brand
// gradient, 10 points above and below the text. Keyboard focus shows a 3-point accent ring just
// outside the capsule; the capsule alone takes clicks.
class CapsuleButton final : public QAbstractButton {
 public:
  explicit CapsuleButton(const QString& title, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The filled capsule, inside the room kept for the ring.
  QRectF capsuleRect() const;
  // 1 while the button has keyboard focus, else 0.
  qreal focusRingOpacity() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
  void changeEvent(QEvent* event) override;
};

}  // namespace tonvara::ui
