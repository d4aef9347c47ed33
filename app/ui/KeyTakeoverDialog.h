#pragma once

#include <QWidget>

#include "AccessTexts.h"
#include "UiModel.h"

namespace tonvara::ui {

// Asks, before anything on the desktop changes, whether to take the media keys from the program
// that holds them: what will change and how to undo it. Only a confirmation calls
// takeOverKeys(). The question is a child of `parent` and does not block; nothing is asked when
// the model offers no takeover.
void confirmKeyTakeover(UiModel& model, const AccessTexts& texts, QWidget& parent);

}  // namespace tonvara::ui
