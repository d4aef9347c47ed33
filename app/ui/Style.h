#pragma once

#include <QColor>
#include <QFont>
#include <QGradientStops>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPalette>
#include <QRectF>

class QPushButton;

// The shared look of the Access window: brand colours, the brand gradient, the named colours
// of the cards and rows, text styles and the card shape. Lengths are points (logical pixels).
namespace tonvara::ui::style {

inline constexpr qreal kCardCornerRadius = 18.0;
inline constexpr int kCardInset = 16;
inline constexpr qreal kColouredStrokeWidth = 1.5;
inline constexpr qreal kNeutralStrokeWidth = 1.0;
inline constexpr qreal kNeutralStrokeOpacity = 0.08;
inline constexpr qreal kFocusRingWidth = 3.0;
inline constexpr qreal kBrandGradientMiddleStop = 0.55;

// The text styles the view uses, sized in proportion to the macOS system text styles
// (body 13 points) so that the layout keeps its proportions on every platform.
enum class TextStyle { title2, title3, headline, body, callout, caption2 };

// The macOS size of a text style, in points.
qreal systemTextStyleSize(TextStyle style);
// The application font scaled from the body size to `style`, with its standard weight
// (headline is semibold) unless `weight` is given.
QFont font(TextStyle style);
QFont font(TextStyle style, QFont::Weight weight);

bool isDark(const QPalette& palette);

// The brand accent, light and dark variants; `brandAccent` picks the one for the palette.
const QColor& brandAccentLight();
const QColor& brandAccentDark();
QColor brandAccent(const QPalette& palette);

// Horizontal, leading to trailing, middle colour at 55 %. Built once and shared.
const QGradientStops& brandGradientStops();
QLinearGradient brandGradient(const QRectF& rect);

// The named colours the cards and rows are drawn in, resolved against the palette in use.
enum class Tint { green, orange, secondary, accent };
QColor color(Tint tint, const QPalette& palette);

// The translucent card fill ("regular material") for the palette.
QColor cardMaterial(const QPalette& palette);

// A rounded rectangle with continuous (curvature-smooth) corners.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

// The filled button of a step card, tinted with the brand accent.
void applyProminentButtonLook(QPushButton& button);
// The bordered button of a status row, tinted with the brand accent.
void applyBorderedButtonLook(QPushButton& button);
// A label in a text style, optionally in the secondary colour.
void applyTextLook(QWidget& label, TextStyle textStyle, QFont::Weight weight, bool secondary);

}  // namespace tonvara::ui::style
