#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "CapsuleButton.h"
#include "GlassCard.h"
#include "StepCardWidget.h"
#include "Style.h"
#include "Symbols.h"

namespace tonvara::ui {
namespace {

QPalette paletteWithWindow(const QColor& window) {
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, window.lightnessF() < 0.5 ? Qt::white : Qt::black);
  return palette;
}

void expectRgb(const QColor& color, double red, double green, double blue) {
  EXPECT_NEAR(color.redF(), red, 0.002);
  EXPECT_NEAR(color.greenF(), green, 0.002);
  EXPECT_NEAR(color.blueF(), blue, 0.002);
  EXPECT_EQ(color.alphaF(), 1.0);
}

TEST(BrandAccentTest, PicksTheVariantForTheAppearance) {
  expectRgb(style::brandAccent(paletteWithWindow(QColor(30, 30, 30))), 0.604, 0.549, 0.961);
  expectRgb(style::brandAccent(paletteWithWindow(QColor(236, 236, 236))), 0.427, 0.416, 0.941);
  EXPECT_EQ(&style::brandAccentLight(), &style::brandAccentLight());  // built once
}

TEST(BrandGradientTest, RunsLeadingToTrailingWithTheMiddleStopAt55Percent) {
  const QGradientStops& stops = style::brandGradientStops();
  ASSERT_EQ(stops.size(), 3);
  EXPECT_EQ(stops[0].first, 0.0);
  expectRgb(stops[0].second, 0.647, 0.4, 0.961);
  EXPECT_EQ(stops[1].first, 0.55);
  expectRgb(stops[1].second, 0.329, 0.455, 0.898);
  EXPECT_EQ(stops[2].first, 1.0);
  expectRgb(stops[2].second, 0.09, 0.761, 0.925);

  const QLinearGradient gradient = style::brandGradient(QRectF(10, 20, 200, 40));
  EXPECT_EQ(gradient.start(), QPointF(10, 40));
  EXPECT_EQ(gradient.finalStop(), QPointF(210, 40));
}

TEST(GlassCardTest, NeutralEdgeIsAFaintHairlineAndColouredEdgesAreOneAndAHalf) {
  GlassCard card;
  EXPECT_EQ(card.strokeWidth(), 1.0);
  EXPECT_EQ(card.strokeColor(), QColor::fromRgbF(1, 1, 1, 0.08F));
  card.setStroke(style::Tint::green);
  EXPECT_EQ(card.strokeWidth(), 1.5);
  EXPECT_EQ(card.strokeColor(), style::color(style::Tint::green, card.palette()));
}

TEST(GlassCardTest, ColouredStrokeStaysInsideTheRoundedShape) {
  GlassCard card;
  card.setStroke(style::Tint::orange);
  card.resize(200, 100);
  QImage image(card.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  card.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
  const QColor orange = style::color(style::Tint::orange, card.palette());
  // On the straight edges the stroke covers the outermost pixel in full...
  EXPECT_EQ(image.pixelColor(100, 0).rgb(), orange.rgb());
  EXPECT_EQ(image.pixelColor(0, 50).rgb(), orange.rgb());
  // ...and nothing is drawn in the rounded-off corner.
  EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);
}

TEST(GlassCardTest, ContentSitsSixteenPointsFromEveryEdge) {
  StepCardWidget card;
  EXPECT_EQ(card.layout()->contentsMargins(), QMargins(16, 16, 16, 16));
}

TEST(ContinuousRoundedRectTest, RoundsCornersOverMoreThanTheRadius) {
  const QRectF rect(0, 0, 300, 200);
  const QPainterPath path = style::continuousRoundedRect(rect, 18);
  EXPECT_TRUE(path.contains(QPointF(150, 100)));
  EXPECT_TRUE(path.contains(QPointF(150, 0.5)));
  EXPECT_TRUE(path.contains(QPointF(0.5, 100)));
  EXPECT_FALSE(path.contains(QPointF(1, 1)));
  EXPECT_FALSE(path.contains(QPointF(299, 199)));
  // Unlike a circular corner, it leaves the straight edge before 18 points and takes longer
  // to turn.
  QPainterPath circular;
  circular.addRoundedRect(rect, 18, 18);
  for (const QPointF probe : {QPointF(19.6, 0.04), QPointF(14, 0.58)}) {
    EXPECT_TRUE(circular.contains(probe));
    EXPECT_FALSE(path.contains(probe));
  }
  EXPECT_TRUE(path.contains(QPointF(28, 0.01)));
}

TEST(TextStyleTest, SizesKeepTheSystemProportions) {
  const QFont body = style::font(style::TextStyle::body);
  EXPECT_EQ(body.pointSizeF(), QApplication::font().pointSizeF());
  EXPECT_NEAR(style::font(style::TextStyle::title2).pointSizeF() / body.pointSizeF(), 17.0 / 13,
              1e-9);
  EXPECT_NEAR(style::font(style::TextStyle::caption2).pointSizeF() / body.pointSizeF(), 10.0 / 13,
              1e-9);
  EXPECT_EQ(style::font(style::TextStyle::headline).weight(), QFont::DemiBold);
}

TEST(SymbolTest, EveryNamedSymbolIsDrawn) {
  const QStringList names{"music.note",
                          "music.note.slash",
                          "exclamationmark.triangle.fill",
                          "checkmark.circle.fill",
                          "circle.inset.filled",
                          "lock.fill",
                          "exclamationmark.circle.fill",
                          "questionmark.circle.fill"};
  QImage sheet(static_cast<int>(names.size()) * 72, 72, QImage::Format_ARGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    ASSERT_TRUE(hasSymbol(names[i])) << names[i].toStdString();
    const QImage image = symbolPixmap(names[i], 64, Qt::black, 1.0).toImage();
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        covered += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
      }
    }
    // Drawn, and not a filled square.
    EXPECT_GT(covered, 64 * 64 / 10) << names[i].toStdString();
    EXPECT_LT(covered, 64 * 64 * 8 / 10) << names[i].toStdString();
    painter.drawImage(i * 72 + 4, 4, image);
  }
  painter.end();
  if (const QByteArray dir = qgetenv("TONVARA_UI_GRAB_DIR"); !dir.isEmpty()) {
    sheet.save(QString::fromLocal8Bit(dir) + "/symbols.png");
  }
  EXPECT_FALSE(hasSymbol("no.such.symbol"));
}

TEST(CapsuleButtonTest, TakesClicksOnlyOnTheCapsule) {
  CapsuleButton button("Done");
  button.resize(300, button.sizeHint().height());
  QSignalSpy clicked(&button, &QAbstractButton::clicked);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(150, button.height() / 2));
  EXPECT_EQ(clicked.count(), 1);
}

TEST(CapsuleButtonTest, LeavesRoomForTheRingOutsideTheFill) {
  CapsuleButton button("Done");
  button.resize(300, button.sizeHint().height());
  const QRectF capsule = button.capsuleRect();
  EXPECT_EQ(capsule.left(), 3.0);
  EXPECT_EQ(capsule.top(), 3.0);
  EXPECT_EQ(button.width() - capsule.right(), 3.0);
  EXPECT_EQ(button.focusRingOpacity(), 0.0);
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
}

}  // namespace
}  // namespace tonvara::ui

#include "Spring.h"

namespace tonvara::ui {
namespace {

TEST(SpringTest, RisesFromZeroToOneWithoutOvershoot) {
  EXPECT_EQ(criticallyDampedSpring(0.0), 0.0);
  EXPECT_DOUBLE_EQ(criticallyDampedSpring(1.0), 1.0);
  double previous = 0;
  for (int step = 1; step <= 100; ++step) {
    const double value = criticallyDampedSpring(step / 100.0);
    EXPECT_GT(value, previous);
    EXPECT_LE(value, 1.0);
    previous = value;
  }
  // One response time in, 1 - (1 + 2π)e^-2π of the way.
  EXPECT_NEAR(criticallyDampedSpring(0.3 / 0.45), 0.987, 0.001);
}

}  // namespace
}  // namespace tonvara::ui
