#include "CapsuleButton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "Style.h"

namespace tonvara::ui {
namespace {

constexpr int kVerticalPadding = 10;
// Room around the capsule for the ring, which sits outside the fill.
constexpr qreal kRingRoom = style::kFocusRingWidth;

QPainterPath capsule(const QRectF& rect) {
  QPainterPath path;
  path.addRoundedRect(rect, rect.height() / 2, rect.height() / 2);
  return path;
}

}  // namespace

CapsuleButton::CapsuleButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
  setText(title);
  setFont(style::font(style::TextStyle::body, QFont::DemiBold));
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
}

QSize CapsuleButton::sizeHint() const {
  const QFontMetrics metrics(font());
  const int ring = qCeil(kRingRoom);
  return {metrics.horizontalAdvance(text()) + 4 * kVerticalPadding + 2 * ring,
          metrics.height() + 2 * kVerticalPadding + 2 * ring};
}

QSize CapsuleButton::minimumSizeHint() const { return sizeHint(); }

QRectF CapsuleButton::capsuleRect() const {
  return QRectF(rect()).adjusted(kRingRoom, kRingRoom, -kRingRoom, -kRingRoom);
}

qreal CapsuleButton::focusRingOpacity() const { return hasFocus() ? 1.0 : 0.0; }

void CapsuleButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF fill = capsuleRect();
  painter.fillPath(capsule(fill), style::brandGradient(fill));
  if (isDown()) {
    painter.fillPath(capsule(fill), QColor(0, 0, 0, 40));
  }

  painter.setPen(Qt::white);
  painter.drawText(fill, Qt::AlignCenter, text());

  if (focusRingOpacity() > 0) {
    // The ring is the capsule grown by 3 points, stroked along the inside of its own edge, so it
    // lies just outside the fill without covering it.
    const qreal half = style::kFocusRingWidth / 2;
    const QRectF ring =
        fill.adjusted(-kRingRoom + half, -kRingRoom + half, kRingRoom - half, kRingRoom - half);
    QPen pen(style::brandAccent(palette()), style::kFocusRingWidth);
    painter.setOpacity(focusRingOpacity());
    painter.strokePath(capsule(ring), pen);
  }
}

bool CapsuleButton::hitButton(const QPoint& pos) const {
  return capsule(capsuleRect()).contains(QPointF(pos));
}

void CapsuleButton::changeEvent(QEvent* event) {
  QAbstractButton::changeEvent(event);
  if (event->type() == QEvent::ApplicationFontChange) {
    setFont(style::font(style::TextStyle::body, QFont::DemiBold));
  }
}

}  // namespace tonvara::ui
