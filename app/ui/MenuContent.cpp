#include "MenuContent.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyleOptionMenuItem>

#include "AccessSteps.h"

namespace tonvara::ui {
namespace {

const QKeySequence kQuitSequence(Qt::CTRL | Qt::Key_Q);

// Ctrl+Q (Command-Q on macOS) for the whole application. A shortcut that lives only on a tray
// menu's action finds no window to belong to, so key presses are watched application-wide;
// while the menu is open they reach it through the menu's keyboard grab.
class QuitShortcut final : public QObject {
 public:
  QuitShortcut(QAction& quit, QObject* parent) : QObject(parent), quit_(&quit) {
    qApp->installEventFilter(this);
  }
  ~QuitShortcut() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
      return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->keyCombination() != kQuitSequence[0] || !quit_ || !quit_->isEnabled()) {
      return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
      // Claim the key so no other shortcut takes it; the press follows.
      event->accept();
      return true;
    }
    if (!key->isAutoRepeat()) {
      quit_->trigger();
    }
    return true;
  }

 private:
  QPointer<QAction> quit_;
};

// Exclusive choices drawn with a check mark beside the chosen one, not a radio dot.
class CheckMarkMenu final : public QMenu {
 public:
  using QMenu::QMenu;

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
    QMenu::initStyleOption(option, action);
    if (option->checkType == QStyleOptionMenuItem::Exclusive) {
      option->checkType = QStyleOptionMenuItem::NonExclusive;
    }
  }
};

}  // namespace

MenuContent::MenuContent(UiModel& model, QWidget* parent, const AccessTexts& texts)
    : QMenu(parent),
      model_(&model),
      texts_(texts),
      setup_(addAction(texts.setupItem)),
      enabled_(nullptr),
      whenNotRunningMenu_(nullptr),
      launchMusic_(nullptr),
      passThrough_(nullptr),
      launchAtLogin_(nullptr),
      about_(nullptr),
      checkForUpdates_(nullptr),
      quit_(nullptr),
      quitShortcut_(nullptr) {
  addSeparator();
  enabled_ = addAction(QStringLiteral("Enabled"));
  enabled_->setCheckable(true);

  whenNotRunningMenu_ = new CheckMarkMenu(this);
  addMenu(whenNotRunningMenu_);
  auto* policies = new QActionGroup(whenNotRunningMenu_);
  policies->setExclusive(true);
  launchMusic_ = whenNotRunningMenu_->addAction(QString());
  passThrough_ = whenNotRunningMenu_->addAction(QStringLiteral("Pass keys to other apps"));
  for (QAction* option : {launchMusic_, passThrough_}) {
    option->setCheckable(true);
    policies->addAction(option);
  }

  launchAtLogin_ = addAction(QStringLiteral("Launch at Login"));
  launchAtLogin_->setCheckable(true);
  addSeparator();
  about_ = addAction(QStringLiteral("About Tonvara"));
  checkForUpdates_ = addAction(QStringLiteral("Check for Updates…"));
  quit_ = addAction(QStringLiteral("Quit Tonvara"));
  // Without NoRole macOS moves a "Quit" item out of the tray menu into the application menu.
  quit_->setMenuRole(QAction::NoRole);
  // Shown next to the title; the key itself is handled application-wide below.
  quit_->setShortcut(kQuitSequence);
  quit_->setShortcutContext(Qt::WidgetShortcut);
  quitShortcut_ = new QuitShortcut(*quit_, this);

  connect(setup_, &QAction::triggered, this, [this] {
    if (model_) model_->showAccessWindow();
  });
  connect(enabled_, &QAction::triggered, this, [this](bool checked) {
    if (model_) model_->setEnabled(checked);
    sync();
  });
  connect(launchMusic_, &QAction::triggered, this,
          [this] { chooseWhenNotRunning(WhenNotRunning::launchMusic); });
  connect(passThrough_, &QAction::triggered, this,
          [this] { chooseWhenNotRunning(WhenNotRunning::passThrough); });
  connect(launchAtLogin_, &QAction::triggered, this, [this](bool checked) {
    if (model_) model_->setLoginEnabled(checked);
    sync();
  });
  connect(about_, &QAction::triggered, this, [this] {
    if (model_) model_->showAbout();
  });
  connect(checkForUpdates_, &QAction::triggered, this, [this] {
    if (model_ && model_->canCheckForUpdates()) model_->checkForUpdates();
  });
  connect(quit_, &QAction::triggered, this, [this] {
    if (model_) model_->quit();
  });

  connect(this, &QMenu::aboutToShow, this, [this] {
    if (model_) model_->refreshPermissions();
    sync();
  });
  connect(&model, &UiModel::stateChanged, this, &MenuContent::sync);
  sync();
}

MenuContent::~MenuContent() = default;

void MenuContent::chooseWhenNotRunning(WhenNotRunning policy) {
  if (model_) {
    model_->setWhenNotRunning(policy);
  }
  sync();
}

void MenuContent::sync() {
  if (!model_) {
    return;
  }
  // Named after the player in use, which the user may change.
  whenNotRunningMenu_->setTitle(say(texts_.whenNotRunning, *model_, texts_));
  launchMusic_->setText(say(texts_.launchPlayer, *model_, texts_));
  // Checks always show the model's values, whatever the click toggled.
  const QSignalBlocker blockEnabled(enabled_);
  const QSignalBlocker blockLaunch(launchMusic_);
  const QSignalBlocker blockPass(passThrough_);
  const QSignalBlocker blockLogin(launchAtLogin_);
  enabled_->setChecked(model_->enabled());
  const bool launch = model_->whenNotRunning() == WhenNotRunning::launchMusic;
  launchMusic_->setChecked(launch);
  passThrough_->setChecked(!launch);
  launchAtLogin_->setChecked(model_->loginEnabled());
  checkForUpdates_->setEnabled(model_->canCheckForUpdates());
  emit synced();
}

}  // namespace tonvara::ui
