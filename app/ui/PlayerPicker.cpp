#include "PlayerPicker.h"

#include <QHBoxLayout>
#include <QSignalBlocker>

#include "AccessSteps.h"
#include "Style.h"

namespace tonvara::ui {

PlayerPicker::PlayerPicker(UiModel& model, const AccessTexts& texts, QWidget* parent)
    : QWidget(parent), model_(&model), texts_(texts), label_(new QLabel), choices_(new QComboBox) {
  style::applyTextLook(*label_, style::TextStyle::callout, QFont::Normal, true);
  choices_->setFont(style::font(style::TextStyle::body));
  choices_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 7, 0, 0);
  row->setSpacing(7);
  row->addWidget(label_);
  row->addWidget(choices_);
  row->addStretch();
  connect(choices_, &QComboBox::activated, this, &PlayerPicker::choose);
  apply();
}

void PlayerPicker::apply() {
  if (!model_) {
    return;
  }
  const QList<MusicAppChoice> players = model_->musicAppChoices();
  setVisible(!players.isEmpty());
  const QString chosen = model_->musicAppId();
  if (chosen.isEmpty()) {
    defaultName_ = model_->musicAppName();
  }
  label_->setText(texts_.pickerLabel);
  QString defaultTitle =
      defaultName_.isEmpty() ? texts_.defaultChoiceUnnamed : texts_.defaultChoice;
  defaultTitle.replace(QStringLiteral("{player}"), defaultName_);
  QList<MusicAppChoice> wanted{{QString(), defaultTitle}};
  wanted.append(players);
  const QSignalBlocker quiet(choices_);
  // Rebuilt only when the list changed: a rebuild would close the list the user has open.
  bool same = choices_->count() == wanted.size();
  for (int i = 0; same && i < choices_->count(); ++i) {
    same =
        choices_->itemText(i) == wanted[i].name && choices_->itemData(i).toString() == wanted[i].id;
  }
  if (!same) {
    choices_->clear();
    for (const MusicAppChoice& player : wanted) {
      choices_->addItem(player.name, player.id);
    }
  }
  choices_->setCurrentIndex(std::max(0, choices_->findData(chosen)));
}

void PlayerPicker::choose(int index) {
  if (model_ && index >= 0) {
    model_->setMusicAppId(choices_->itemData(index).toString());
  }
}

}  // namespace tonvara::ui
