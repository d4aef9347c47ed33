#include "Symbols.h"

#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <numbers>

// Resources of a static library must be registered by name from outside any namespace.
static void registerSymbolResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)registered;
}

namespace tonvara::ui {
namespace {

QString symbolPath(const QString& name) {
  registerSymbolResources();
  return QStringLiteral(":/symbols/%1.svg").arg(name);
}

}  // namespace

bool hasSymbol(const QString& name) { return QFile::exists(symbolPath(name)); }

#ifdef Q_OS_MACOS
QIcon symbolIcon(const QString& name) {
  QIcon icon(symbolPath(name));
  icon.setIsMask(true);
  return icon;
}
#else
namespace {

// The symbol drawn in `color` at each of `places`, on a transparent square.
QImage tintedLayer(QSvgRenderer& renderer, int side, const QList<QRectF>& places,
                   const QColor& color) {
  QImage layer(side, side, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  QPainter painter(&layer);
  painter.setRenderHint(QPainter::Antialiasing);
  for (const QRectF& place : places) {
    renderer.render(&painter, place);
  }
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(layer.rect(), color);
  return layer;
}

// Linux trays never tint an icon and their panels are light or dark: a light glyph inside a dark
// ring reads on both.
QPixmap outlinedGlyph(QSvgRenderer& renderer, int side, const QColor& fill) {
  const qreal ring = qMax<qreal>(1.0, side / 14.0);
  const QRectF glyph(ring, ring, side - 2 * ring, side - 2 * ring);
  QList<QRectF> around;
  for (int step = 0; step < 16; ++step) {
    const qreal angle = step * std::numbers::pi / 8;
    around << glyph.translated(ring * std::cos(angle), ring * std::sin(angle));
  }
  QImage icon = tintedLayer(renderer, side, around, QColor(0x1a, 0x1a, 0x1a));
  QPainter(&icon).drawImage(0, 0, tintedLayer(renderer, side, {glyph}, fill));
  return QPixmap::fromImage(icon);
}

}  // namespace

QIcon symbolIcon(const QString& name) {
  QSvgRenderer renderer(symbolPath(name));
  // The warning keeps an amber body so it stands out from the note.
  const QColor fill =
      name.startsWith(QLatin1String("exclamationmark")) ? QColor(255, 159, 10) : QColor(Qt::white);
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48}) {
    icon.addPixmap(outlinedGlyph(renderer, side, fill));
  }
  return icon;
}
#endif

QPixmap symbolPixmap(const QString& name, int side, const QColor& color, qreal devicePixelRatio) {
  const int physical = qRound(side * devicePixelRatio);
  QPixmap pixmap(physical, physical);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(symbolPath(name));
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, physical, physical));
  // Keep the symbol's coverage, take the colour.
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(pixmap.rect(), color);
  painter.end();
  pixmap.setDevicePixelRatio(devicePixelRatio);
  return pixmap;
}

SymbolLabel::SymbolLabel(style::TextStyle size, QWidget* parent) : QLabel(parent), size_(size) {
  setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void SymbolLabel::setSymbol(const QString& name, style::Tint tint) {
  if (name == name_ && tint == tint_ && !pixmap().isNull()) {
    return;
  }
  name_ = name;
  tint_ = tint;
  redraw();
}

void SymbolLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationFontChange) {
    redraw();
  }
}

void SymbolLabel::redraw() {
  if (name_.isEmpty()) {
    clear();
    return;
  }
  // A symbol is as tall as the capitals and ascenders of its text style.
  const int side = QFontMetrics(style::font(size_)).height();
  setPixmap(symbolPixmap(name_, side, style::color(tint_, palette()), devicePixelRatioF()));
}

}  // namespace tonvara::ui
