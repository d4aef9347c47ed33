#include "UiModel.h"

#include <QCoreApplication>

#include "AboutBox.h"

namespace tonvara::ui {

void UiModel::showAbout() { showStandardAboutBox(); }

void UiModel::quit() { QCoreApplication::quit(); }

}  // namespace tonvara::ui
