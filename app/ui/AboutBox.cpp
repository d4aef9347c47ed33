#include "AboutBox.h"

#include <QApplication>
#include <QMessageBox>

namespace tonvara::ui {

void showStandardAboutBox() {
  const QString name = QApplication::applicationDisplayName().isEmpty()
                           ? QApplication::applicationName()
                           : QApplication::applicationDisplayName();
  // A modeless box so the tray stays usable; it deletes itself when dismissed.
  auto* box = new QMessageBox(
      QMessageBox::NoIcon, QObject::tr("About %1").arg(name),
      QStringLiteral("<b>%1</b><br>%2")
          .arg(name.toHtmlEscaped(), QApplication::applicationVersion().toHtmlEscaped()),
      QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
  box->setModal(false);
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace tonvara::ui
