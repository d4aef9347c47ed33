#include "Style.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <array>

namespace tonvara::ui::style {
namespace {

constexpr qreal kBodySize = 13.0;

QColor srgb(qreal red, qreal green, qreal blue, qreal alpha = 1.0) {
  return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green),
                          static_cast<float>(blue), static_cast<float>(alpha));
}

QString cssColor(const QColor& c) {
  return QStringLiteral("rgba(%1, %2, %3, %4)")
      .arg(c.red())
      .arg(c.green())
      .arg(c.blue())
      .arg(c.alphaF(), 0, 'f', 3);
}

}  // namespace

qreal systemTextStyleSize(TextStyle style) {
  switch (style) {
    case TextStyle::title2:
      return 17.0;
    case TextStyle::title3:
      return 15.0;
    case TextStyle::headline:
    case TextStyle::body:
      return 13.0;
    case TextStyle::callout:
      return 12.0;
    case TextStyle::caption2:
      return 10.0;
  }
  return kBodySize;
}

QFont font(TextStyle style) {
  return font(style, style == TextStyle::headline ? QFont::DemiBold : QFont::Normal);
}

QFont font(TextStyle style, QFont::Weight weight) {
  QFont result = QApplication::font();
  const qreal scale = systemTextStyleSize(style) / kBodySize;
  if (result.pointSizeF() > 0) {
    result.setPointSizeF(result.pointSizeF() * scale);
  } else {
    result.setPixelSize(std::max(1, qRound(result.pixelSize() * scale)));
  }
  result.setWeight(weight);
  return result;
}

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

const QColor& brandAccentLight() {
  static const QColor accent = srgb(0.427, 0.416, 0.941);
  return accent;
}

const QColor& brandAccentDark() {
  static const QColor accent = srgb(0.604, 0.549, 0.961);
  return accent;
}

QColor brandAccent(const QPalette& palette) {
  return isDark(palette) ? brandAccentDark() : brandAccentLight();
}

const QGradientStops& brandGradientStops() {
  static const QGradientStops stops{
      {0.0, srgb(0.647, 0.4, 0.961)},
      {kBrandGradientMiddleStop, srgb(0.329, 0.455, 0.898)},
      {1.0, srgb(0.09, 0.761, 0.925)},
  };
  return stops;
}

QLinearGradient brandGradient(const QRectF& rect) {
  QLinearGradient gradient(QPointF(rect.left(), rect.center().y()),
                           QPointF(rect.right(), rect.center().y()));
  gradient.setStops(brandGradientStops());
  return gradient;
}

QColor color(Tint tint, const QPalette& palette) {
  const bool dark = isDark(palette);
  switch (tint) {
    case Tint::green:
      return dark ? QColor(48, 209, 88) : QColor(40, 167, 69);
    case Tint::orange:
      return dark ? QColor(255, 159, 10) : QColor(240, 140, 0);
    case Tint::secondary: {
      QColor text = palette.color(QPalette::WindowText);
      text.setAlphaF(dark ? 0.55F : 0.5F);
      return text;
    }
    case Tint::accent:
      return brandAccent(palette);
  }
  return palette.color(QPalette::WindowText);
}

QColor cardMaterial(const QPalette& palette) {
  return isDark(palette) ? srgb(1.0, 1.0, 1.0, 0.07) : srgb(1.0, 1.0, 1.0, 0.62);
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius) {
  // Each corner is three cubic curves spread over 1.53 radii of each edge, which keeps the
  // curvature continuous where the edge ends (unlike a quarter circle).
  constexpr qreal kSpread = 1.52866;
  const qreal r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / (2 * kSpread));
  struct Corner {
    QPointF at;
    QPointF along;  // direction of the edge arriving at the corner
    QPointF next;   // direction of the edge leaving it
  };
  const std::array<Corner, 4> corners{{
      {rect.topRight(), {1, 0}, {0, 1}},
      {rect.bottomRight(), {0, 1}, {-1, 0}},
      {rect.bottomLeft(), {-1, 0}, {0, -1}},
      {rect.topLeft(), {0, -1}, {1, 0}},
  }};
  const auto point = [r](const Corner& c, qreal back, qreal forward) {
    return c.at - c.along * (back * r) + c.next * (forward * r);
  };
  QPainterPath path;
  path.moveTo(point(corners[0], kSpread, 0));
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const Corner& c = corners[i];
    if (i > 0) {
      path.lineTo(point(c, kSpread, 0));
    }
    path.cubicTo(point(c, 1.08849, 0), point(c, 0.86841, 0), point(c, 0.63149, 0.07491));
    path.cubicTo(point(c, 0.37282, 0.16906), point(c, 0.16906, 0.37282),
                 point(c, 0.07491, 0.63149));
    path.cubicTo(point(c, 0, 0.86841), point(c, 0, 1.08849), point(c, 0, kSpread));
  }
  path.closeSubpath();
  return path;
}

void applyProminentButtonLook(QPushButton& button) {
  const QColor accent = brandAccent(button.palette());
  button.setFont(font(TextStyle::body));
  // The focus ring's border is always there, transparent without focus, so that focus never
  // changes the button's size or moves its neighbours.
  button.setStyleSheet(
      QStringLiteral("QPushButton { background: %1; color: white; border: 2px solid transparent;"
                     " border-radius: 6px; padding: 2px 9px; outline: none; }"
                     "QPushButton:pressed { background: %2; }"
                     "QPushButton:focus { border-color: %3; }")
          .arg(cssColor(accent), cssColor(accent.darker(115)), cssColor(accent.lighter(140))));
  button.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void applyBorderedButtonLook(QPushButton& button) {
  const QColor accent = brandAccent(button.palette());
  QColor wash = accent;
  wash.setAlphaF(0.14F);
  QColor pressed = accent;
  pressed.setAlphaF(0.26F);
  button.setFont(font(TextStyle::body));
  button.setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2;"
                                      " border: 2px solid transparent; border-radius: 6px;"
                                      " padding: 2px 9px; outline: none; }"
                                      "QPushButton:pressed { background: %3; }"
                                      "QPushButton:focus { border-color: %2; }")
                           .arg(cssColor(wash), cssColor(accent), cssColor(pressed)));
  button.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void applyTextLook(QWidget& label, TextStyle textStyle, QFont::Weight weight, bool secondary) {
  label.setFont(font(textStyle, weight));
  if (secondary) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color(Tint::secondary, palette));
    label.setPalette(palette);
  }
}

}  // namespace tonvara::ui::style
