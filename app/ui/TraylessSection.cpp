#include "TraylessSection.h"

#include <QHBoxLayout>
#include <QPushButton>
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
      row->setSpacing(8);
      column->addLayout(row);
      row->setAlignment(Qt::AlignLeft);
    }
    return row;
  };
  const auto addButton = [&](QAction* action) {
    auto* button = new QPushButton;
    // The window's own button look; a checked item is filled, like the step cards' buttons.
    const auto follow = [button, action] {
      button->setText(action->text());
      button->setEnabled(action->isEnabled());
      button->setCheckable(action->isCheckable());
      button->setChecked(action->isChecked());
      if (action->isChecked()) {
        style::applyProminentButtonLook(*button);
      } else {
        style::applyBorderedButtonLook(*button);
      }
    };
    follow();
    connect(action, &QAction::changed, button, follow);
    // The menu sets its checks with the actions' signals blocked.
    connect(&menu, &MenuContent::synced, button, follow);
    // The action's trigger toggles its check itself; the button then shows the outcome.
    connect(button, &QPushButton::clicked, action, [action, follow] {
      action->trigger();
      follow();
    });
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
      auto* title = new QLabel(submenu->title());
      style::applyTextLook(*title, style::TextStyle::body, QFont::Normal, false);
      // Named after the player, which may change while the window is open.
      connect(&menu, &MenuContent::synced, title,
              [title, submenu] { title->setText(submenu->title()); });
      rowForNext()->addWidget(title);
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
