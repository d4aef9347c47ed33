#pragma once

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "AccessTexts.h"
#include "UiModel.h"

namespace tonvara::ui {

// The tray icon's menu: the nine items in order, their checks, the exclusive submenu and the
// greyed update item all shown from the model. Choosing an item calls the model; what is shown
// afterwards is what the model then publishes. Each opening refreshes the permissions.
class MenuContent final : public QMenu {
  Q_OBJECT

 public:
  explicit MenuContent(UiModel& model, QWidget* parent = nullptr,
                       const AccessTexts& texts = platformTexts());
  ~MenuContent() override;

  QAction& setupItem() { return *setup_; }
  QAction& enabledItem() { return *enabled_; }
  QMenu& whenNotRunningMenu() { return *whenNotRunningMenu_; }
  QAction& launchMusicItem() { return *launchMusic_; }
  QAction& passThroughItem() { return *passThrough_; }
  QAction& launchAtLoginItem() { return *launchAtLogin_; }
  QAction& aboutItem() { return *about_; }
  QAction& checkForUpdatesItem() { return *checkForUpdates_; }
  QAction& quitItem() { return *quit_; }

 signals:
  // The items show the model's values again.
  void synced();

 private:
  void sync();
  void chooseWhenNotRunning(WhenNotRunning policy);

  QPointer<UiModel> model_;
  const AccessTexts& texts_;
  QAction* setup_;
  QAction* enabled_;
  QMenu* whenNotRunningMenu_;
  QAction* launchMusic_;
  QAction* passThrough_;
  QAction* launchAtLogin_;
  QAction* about_;
  QAction* checkForUpdates_;
  QAction* quit_;
  QObject* quitShortcut_;
};

}  // namespace tonvara::ui
