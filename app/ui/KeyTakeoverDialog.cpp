#include "KeyTakeoverDialog.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "AccessSteps.h"

namespace tonvara::ui {

void confirmKeyTakeover(UiModel& model, const AccessTexts& texts, QWidget& parent) {
  const std::optional<KeyTakeover> takeover = model.keyTakeover();
  if (!takeover) {
    return;
  }
  auto* box = new QMessageBox(&parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Question);
  box->setWindowTitle(QStringLiteral("Tonvara"));
  box->setText(say(texts.confirmTakeover, model, texts));
  box->setInformativeText(takeover->changes + QStringLiteral("\n\n") + takeover->undo);
  QPushButton* take =
      box->addButton(say(texts.confirmTakeoverButton, model, texts), QMessageBox::AcceptRole);
  // Nothing changes unless the user says so: Return alone must not take the keys.
  box->setDefaultButton(box->addButton(QMessageBox::Cancel));
  QObject::connect(box, &QMessageBox::buttonClicked, box,
                   [take, model = QPointer<UiModel>(&model)](QAbstractButton* clicked) {
                     if (clicked == take && model) {
                       model->takeOverKeys();
                     }
                   });
  box->show();
}

}  // namespace tonvara::ui
