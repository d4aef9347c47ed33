#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace tonvara::ui {

class MenuContent;

// The tray menu's items as buttons, for a desktop without a tray. Each button is the menu's own
// action, so it makes the same model call and shows the same check as the menu item.
class TraylessSection final : public QWidget {
  Q_OBJECT

 public:
  TraylessSection(MenuContent& menu, const QString& hint, QWidget* parent = nullptr);

  MenuContent* menu() const;
  const QLabel& hint() const { return *hint_; }

 private:
  QPointer<QObject> menu_;
  QLabel* hint_;
};

}  // namespace tonvara::ui
