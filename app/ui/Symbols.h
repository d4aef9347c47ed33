#pragma once

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>

#include "Style.h"

namespace tonvara::ui {

// Our own monochrome symbol images, named like the system symbols they stand for.
bool hasSymbol(const QString& name);
// The symbol as a tray icon: a mask (template) image on macOS, where the menu bar tints it; an
// outlined glyph elsewhere, legible on light and dark panels alike.
QIcon symbolIcon(const QString& name);
// The symbol drawn in `color`, `side` logical pixels square.
QPixmap symbolPixmap(const QString& name, int side, const QColor& color, qreal devicePixelRatio);

// A symbol in a named colour, sized to a text style like a glyph of that style, and redrawn
// when the palette changes.
class SymbolLabel final : public QLabel {
 public:
  explicit SymbolLabel(style::TextStyle size, QWidget* parent = nullptr);

  void setSymbol(const QString& name, style::Tint tint);
  const QString& symbolName() const { return name_; }
  style::Tint tint() const { return tint_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void redraw();

  style::TextStyle size_;
  QString name_;
  style::Tint tint_ = style::Tint::secondary;
};

}  // namespace tonvara::ui
