#include "Symbols.h"

#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>

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

QIcon symbolIcon(const QString& name) {
  QIcon icon(symbolPath(name));
  icon.setIsMask(true);
  return icon;
}

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
