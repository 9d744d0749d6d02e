#include "imaging/PictureFileDialogs.h"

#include "imaging/Editscreen.h"
#include "imaging/codecs/PictureFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScopeGuard>

PictureFileDialogs *PictureDialogs = nullptr;

namespace {

// An entry's label: its text before the pattern in parentheses.
QString labelOf(const QString &filter)
{
    return filter.left(filter.lastIndexOf(QLatin1Char('('))).simplified();
}

// The 1-based index of the chosen filter. With the patterns hidden the
// dialog may report the chosen entry by its label.
int filterIndex(const QFileDialog *dialog)
{
    const QString selected = dialog->selectedNameFilter().simplified();
    const QStringList filters = dialog->nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters.at(i) == selected || labelOf(filters.at(i)) == selected)
            return int(i) + 1;
    }
    return 1;
}

// The dialog shows each entry's label only; the pattern in the last
// parentheses is what it lists.
QFileDialog *makeDialog(QWidget *parent, const QString &objectName, const QString &title,
                        const QStringList &filters, int index)
{
    auto *dialog = new QFileDialog(parent, title);
    dialog->setObjectName(objectName);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(dialog->nameFilters().at(index - 1));
    // The dialog folds runs of blanks in the labels it shows; they are shown
    // as written.
    if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count() && i < filters.size(); ++i)
            types->setItemText(
                i, filters.at(i).left(filters.at(i).lastIndexOf(QLatin1Char('('))).trimmed());
    }
    dialog->setDefaultSuffix(QStringLiteral("bmp"));
    dialog->setFileMode(QFileDialog::AnyFile);
    return dialog;
}

// The folder of the name must exist; says so and returns false otherwise.
bool folderExists(QWidget *dialog, const QString &fileName)
{
    if (QFileInfo(fileName).absoluteDir().exists())
        return true;
    QMessageBox::warning(dialog, dialog->windowTitle(),
                         QStringLiteral("The folder %1 does not exist.")
                             .arg(QDir::toNativeSeparators(QFileInfo(fileName).path())));
    return false;
}

} // namespace

PictureFileDialogs::PictureFileDialogs(QWidget *parent) : QObject(parent), m_parent(parent) {}

QFileDialog *PictureFileDialogs::OpenDialog1()
{
    if (m_openDialog)
        return m_openDialog;
    m_openDialog =
        makeDialog(m_parent, QStringLiteral("OpenDialog1"), QStringLiteral("Open"),
                   {QStringLiteral("All files (*)"), QStringLiteral("Bitmap files (*.bmp)"),
                    QStringLiteral("GIF files (*.gif)"), QStringLiteral("JPG files (*.jpg)")},
                   2);
    m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
    return m_openDialog;
}

QFileDialog *PictureFileDialogs::SaveDialog1()
{
    if (m_saveDialog)
        return m_saveDialog;
    m_saveDialog =
        makeDialog(m_parent, QStringLiteral("SaveDialog1"), QStringLiteral("Save As"),
                   {QStringLiteral("All files (*)"), QStringLiteral("256 Colors (.bmp) (*.bmp)"),
                    QStringLiteral("All Available Colors  (.bmp) (*.bmp)"),
                    QStringLiteral("GIF (.gif) (*.gif)"), QStringLiteral("JPG (.jpg) (*.jpg)")},
                   3);
    m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    // An existing file is asked about afterwards, with the save's own prompt.
    m_saveDialog->setOption(QFileDialog::DontConfirmOverwrite);
    return m_saveDialog;
}

void PictureFileDialogs::Open(TEditScreen &editor)
{
    QFileDialog *dialog = OpenDialog1();
    QString fileName;
    do {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return;
        fileName = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
    } while (!folderExists(dialog, fileName));
    editor.setPicture(codecs::PictureFiles::open(fileName));
}

QString PictureFileDialogs::askSaveName()
{
    QFileDialog *dialog = SaveDialog1();
    for (;;) {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return {};
        const QString fileName = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
        if (!folderExists(dialog, fileName))
            continue;
        if (!QFileInfo::exists(fileName)) {
            QMessageBox create(QMessageBox::Question, dialog->windowTitle(),
                               QStringLiteral("%1\nThis file does not exist.\nCreate the file?")
                                   .arg(QDir::toNativeSeparators(fileName)),
                               QMessageBox::Yes | QMessageBox::No, dialog);
            create.setObjectName(QStringLiteral("CreatePrompt"));
            create.setDefaultButton(QMessageBox::Yes);
            if (create.exec() != QMessageBox::Yes)
                continue;
        }
        return fileName;
    }
}

void PictureFileDialogs::updateDefaultExtension()
{
    const int index = saveFilterIndex();
    if (index == codecs::PictureFiles::GifFilter)
        SaveDialog1()->setDefaultSuffix(QStringLiteral("gif"));
    else if (index == codecs::PictureFiles::JpgFilter)
        SaveDialog1()->setDefaultSuffix(QStringLiteral("jpg"));
}

int PictureFileDialogs::saveFilterIndex() const
{
    return m_saveDialog ? filterIndex(m_saveDialog) : codecs::PictureFiles::AllColoursBmp;
}

void PictureFileDialogs::write(const QImage &picture, const QString &fileName)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto arrow = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    codecs::PictureFiles::save(picture, fileName, saveFilterIndex());
}
