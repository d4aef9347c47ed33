#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "AccessTexts.h"
#include "UiModel.h"

namespace tonvara::ui {

// The music application to drive: the desktop's default, or one of the installed players.
// Shown only where the model offers players to pick from; a choice goes to setMusicAppId().
class PlayerPicker final : public QWidget {
  Q_OBJECT

 public:
  PlayerPicker(UiModel& model, const AccessTexts& texts, QWidget* parent = nullptr);

  void apply();
  QComboBox& choices() { return *choices_; }

 private:
  void choose(int index);

  QPointer<UiModel> model_;
  const AccessTexts& texts_;
  QLabel* label_;
  QComboBox* choices_;
  // The default's name, known only while the default is the one in use.
  QString defaultName_;
};

}  // namespace tonvara::ui
