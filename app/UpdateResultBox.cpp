#include "UpdateResultBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

#include "Updater.h"

namespace tonvara {

void showUpdateResult(const UpdateCheckResult& result) {
  using Kind = UpdateCheckResult::Kind;
  const QString name = QApplication::applicationName();
  // Modeless, so the tray menu stays usable; it deletes itself when dismissed.
  auto* box =
      new QMessageBox(result.kind == Kind::failed ? QMessageBox::Warning : QMessageBox::Information,
                      QObject::tr("Check for Updates"), result.message, QMessageBox::NoButton);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->setWindowIcon(QApplication::windowIcon());
  if (result.kind == Kind::updateAvailable && result.downloadUrl.isValid()) {
    QPushButton* download = box->addButton(QObject::tr("Download"), QMessageBox::AcceptRole);
    box->addButton(QObject::tr("Later"), QMessageBox::RejectRole);
    const QUrl url = result.downloadUrl;
    QObject::connect(download, &QPushButton::clicked, box,
                     [url] { QDesktopServices::openUrl(url); });
  } else {
    box->addButton(QMessageBox::Ok);
  }
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace tonvara
