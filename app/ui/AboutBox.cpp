#include "AboutBox.h"

#include <QApplication>
#include <QMessageBox>

#include "Symbols.h"

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
  // The application's icon; our note symbol when the application has none.
  const QIcon icon = QApplication::windowIcon();
  box->setIconPixmap(icon.isNull() ? symbolPixmap(QStringLiteral("music.note"), 64,
                                                  box->palette().color(QPalette::WindowText),
                                                  box->devicePixelRatioF())
                                   : icon.pixmap(64, 64));
  box->setModal(false);
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace tonvara::ui
