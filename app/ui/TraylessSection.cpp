#include "TraylessSection.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "MenuContent.h"
#include "Style.h"

namespace tonvara::ui {

TraylessSection::TraylessSection(MenuContent& menu, const QString& hint, QWidget* parent)
    : QWidget(parent), menu_(&menu), hint_(new QLabel(hint)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  style::applyTextLook(*hint_, style::TextStyle::callout, QFont::Normal, true);
  hint_->setWordWrap(true);
  hint_->setVisible(!hint.isEmpty());
  column->addWidget(hint_);

  // Rows as the menu's separators and submenu group the items.
  QHBoxLayout* row = nullptr;
  const auto rowForNext = [&] {
    if (!row) {
      row = new QHBoxLayout;
      column->addLayout(row);
    }
    return row;
  };
  const auto addButton = [&](QAction* action) {
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    rowForNext()->addWidget(button);
  };
  for (QAction* action : menu.actions()) {
    // The first item opens this very window.
    if (action == &menu.setupItem()) {
      continue;
    }
    if (action->isSeparator()) {
      row = nullptr;
    } else if (QMenu* submenu = action->menu()) {
      row = nullptr;
      rowForNext()->addWidget(new QLabel(submenu->title()));
      for (QAction* option : submenu->actions()) {
        addButton(option);
      }
      row = nullptr;
    } else {
      addButton(action);
    }
  }
}

MenuContent* TraylessSection::menu() const { return static_cast<MenuContent*>(menu_.data()); }

}  // namespace tonvara::ui
