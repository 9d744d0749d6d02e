#include "Dialogs.h"

#include "AppTitle.h"

#include <QMessageBox>

namespace platform {

void showErrorBox(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Critical, appTitle(), message, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("StandardErrorBox"));
    box.exec();
}

} // namespace platform
