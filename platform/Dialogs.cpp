#include "Dialogs.h"

#include "AppTitle.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>

namespace platform {

void showErrorBox(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, appTitle(), message, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("StandardErrorBox"));
    // Some styles decorate dialog buttons with icons; this box has a plain OK.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

void showMessageBox(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, appTitle(), message, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

} // namespace platform
