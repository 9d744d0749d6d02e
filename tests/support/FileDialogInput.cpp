#include "tests/support/FileDialogInput.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

void typeFileName(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setCompleter(nullptr);
    if (auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")))
        list->clearSelection();
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, name);
    // Reported so that a dialog that would still take another name shows why.
    const QStringList chosen = dialog->selectedFiles();
    const QString typed = QFileInfo(name).fileName();
    if (chosen.isEmpty() || !QFileInfo(chosen.constFirst()).fileName().startsWith(typed))
        qWarning("the dialog holds %s after %s was typed (focus %d)", qPrintable(chosen.join(u',')),
                 qPrintable(name), int(edit->hasFocus()));
}
