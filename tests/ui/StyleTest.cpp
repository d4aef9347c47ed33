#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "CapsuleButton.h"
#include "GlassCard.h"
#include "Symbols.h"

namespace tonvara::ui {
namespace {

QPalette withWindow(const QColor& window) {
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  return palette;
}

TEST(StyleTest, AccentFollowsTheAppearanceAndTheGradientRunsLeadingToTrailing) {
  EXPECT_EQ(style::brandAccent(withWindow(QColor(30, 30, 30))),
            QColor::fromRgbF(0.604F, 0.549F, 0.961F));
  EXPECT_EQ(style::brandAccent(withWindow(Qt::white)), QColor::fromRgbF(0.427F, 0.416F, 0.941F));
  const QLinearGradient gradient = style::brandGradient(QRectF(10, 20, 200, 40));
  EXPECT_EQ(gradient.start(), QPointF(10, 40));
  EXPECT_EQ(gradient.finalStop(), QPointF(210, 40));
  EXPECT_EQ(gradient.stops(), (QGradientStops{{0.0, QColor::fromRgbF(0.647F, 0.4F, 0.961F)},
                                              {0.55, QColor::fromRgbF(0.329F, 0.455F, 0.898F)},
                                              {1.0, QColor::fromRgbF(0.09F, 0.761F, 0.925F)}}));
}

TEST(StyleTest, CardEdgeIsAHairlineOrAStrokeInsideTheRoundedShape) {
  GlassCard card;
  EXPECT_EQ(card.strokeColor(), QColor::fromRgbF(1, 1, 1, 0.08F));
  EXPECT_EQ(card.strokeWidth(), 1.0);
  card.setStroke(style::Tint::orange);
  EXPECT_EQ(card.strokeWidth(), 1.5);
  card.resize(200, 100);
  QImage image(card.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  card.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
  const QRgb orange = style::color(style::Tint::orange, card.palette()).rgb();
  EXPECT_EQ(image.pixel(100, 0), orange);  // the outermost pixel of a straight edge
  EXPECT_EQ(image.pixel(0, 50), orange);
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);  // nothing in the rounded-off corner
  card.setPalette(withWindow(QColor(30, 30, 30)));
  card.setStroke(style::Tint::accent);
  EXPECT_EQ(card.strokeColor(), style::brandAccentDark());
}

TEST(StyleTest, CapsuleTakesClicksOnlyOnTheCapsuleAndSymbolsAreDrawn) {
  CapsuleButton button("Done");
  button.resize(300, button.sizeHint().height());
  QSignalSpy clicked(&button, &QAbstractButton::clicked);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(150, button.height() / 2));
  EXPECT_EQ(clicked.count(), 1);
  for (const char* name : {"music.note", "music.note.slash", "exclamationmark.triangle.fill",
                           "checkmark.circle.fill", "circle.inset.filled", "lock.fill",
                           "exclamationmark.circle.fill", "questionmark.circle.fill"}) {
    const QImage image = symbolPixmap(name, 64, Qt::black, 1.0).toImage();
    int covered = 0;
    for (int i = 0; i < 64 * 64; ++i) covered += qAlpha(image.pixel(i % 64, i / 64)) > 128;
    EXPECT_GT(covered, 64 * 64 / 10) << name;  // drawn, and not a filled square
    EXPECT_LT(covered, 64 * 64 * 8 / 10) << name;
  }
}

}  // namespace
}  // namespace tonvara::ui
