// "Save this now!": the capture written to a file the user names, as rich
// text or plain text, overwriting an existing file or merged with it.
#include "TextFile.h"
#include "TrayT1.h"
#include "editor/edits.h"
#include "fexists.h"
#include "platform/AppWindows.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/WaitLoop.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The 1-based index of the filter chosen in a file dialog.
int filterIndex(const QFileDialog *dialog)
{
    return static_cast<int>(dialog->nameFilters().indexOf(dialog->selectedNameFilter())) + 1;
}

// A plain-text file ending in a line break loads with an empty last
// paragraph; that break ends the last line and is no line of its own.
void dropFinalLineBreak(QTextDocument *document, const QByteArray &bytes)
{
    if (platform::RichEdit::holdsRtf(bytes) || !(bytes.endsWith('\n') || bytes.endsWith('\r')))
        return;
    if (document->blockCount() < 2 || !document->lastBlock().text().isEmpty())
        return;
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.deletePreviousChar();
}

} // namespace

void TTrayForm::SaveSelection1Click()
{
    CaptureStatus = QStringLiteral("no");
    PendingAction = QStringLiteral("savethis");
    EditClick();
    if (CaptureStatus == QLatin1String("stop")) {
        CaptureStatus.clear();
        return;
    }
    // In screen mode the region selection saves once the user has marked it.
    if (textMode())
        Saver();
}

void TTrayForm::Saver()
{
    if (textMode())
        saveText();
    else
        savePicture();
}

void TTrayForm::savePicture()
{
    // Pictures are saved once the picture files exist; until then a
    // screen-mode save writes nothing.
}

bool TTrayForm::askFileExists(const QString &fileName, bool adding)
{
    saveprompt->ask(fileName, adding);
    // The tray and its menu stay usable while the question is open.
    while (SaveAnswer.isEmpty())
        platform::waitMs(10);
    return SaveAnswer != QLatin1String("cancel");
}

void TTrayForm::saveText()
{
    Editor->storememo->clear();
    Editor->txtMemo->clear();
    Editor->buildDialogs();
    QFileDialog *dialog = Editor->SaveDialog;
    // The default extension follows the filter chosen at the previous save.
    dialog->setDefaultSuffix(filterIndex(dialog) == 1 ? QStringLiteral("rtf")
                                                      : QStringLiteral("txt"));

    auto &appWindows = platform::services().appWindows();
    appWindows.minimizeTaskbarEntry();
    appWindows.restoreTaskbarEntry();
    QString fileName;
    for (;;) {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            appWindows.hideTaskbarEntry();
            return;
        }
        fileName = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
        // The file may be new, its folder must exist.
        if (QFileInfo(fileName).absoluteDir().exists())
            break;
        QMessageBox::warning(dialog, QStringLiteral("Save As"),
                             QStringLiteral("The folder %1 does not exist.")
                                 .arg(QDir::toNativeSeparators(QFileInfo(fileName).path())));
    }
    appWindows.restoreTaskbarEntry();

    const bool rich = TextFile::formatFor(fileName, filterIndex(dialog)) == TextFile::Format::Rich;
    SaveAnswer.clear();
    if (QFileInfo::exists(fileName) && !askFileExists(fileName, true))
        return;
    writeCapture(fileName, rich);
}

void TTrayForm::writeCapture(const QString &fileName, bool rich)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto normalCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });

    if (SaveAnswer == QLatin1String("addtotop") || SaveAnswer == QLatin1String("addtobottom"))
        mergeCapture(fileName, rich);

    platform::RichEdit *memo = Editor->memo;
    if (rich)
        TextFile::write(fileName, memo->toRtf());
    else
        TextFile::write(fileName, TextFile::crlfText(TextFile::documentLines(*memo->document())));
    Editor->storememo->clear();
    Editor->txtMemo->clear();
}

void TTrayForm::mergeCapture(const QString &fileName, bool rich)
{
    platform::RichEdit *memo = Editor->memo;
    const QStringList capture = TextFile::documentLines(*memo->document());
    // The capture is kept as plain lines in the scratch control that
    // matches the format it is saved in.
    Editor->storememo->setPlainText(capture.join(u'\n'));
    Editor->txtMemo->setPlainText(capture.join(u'\n'));

    // A file that cannot be loaded ends the save with nothing written and
    // the capture back in the editor.
    const QByteArray before = memo->toRtf();
    try {
        const QByteArray old = TextFile::read(fileName);
        memo->clear();
        Editor->fontit();
        memo->loadFromStream(old);
        dropFinalLineBreak(memo->document(), old);
    } catch (...) {
        memo->loadFromStream(before);
        throw;
    }

    const QStringList lines = rich ? TextFile::documentLines(*Editor->storememo->document())
                                   : TextFile::documentLines(*Editor->txtMemo->document());
    const int n = static_cast<int>(lines.size());
    // One edit: the document is laid out and reported changed once, not
    // after every line.
    QTextCursor edit(memo->document());
    edit.beginEditBlock();
    const auto endEdit = qScopeGuard([&edit] { edit.endEditBlock(); });
    if (SaveAnswer == QLatin1String("addtotop")) {
        for (int i = 0; i < n; ++i)
            memo->insertParagraph(i, lines.at(i));
        memo->insertParagraph(n, QString());
    } else {
        memo->appendParagraph(QString());
        memo->appendParagraph(QString());
        for (const QString &line : lines)
            memo->appendParagraph(line);
    }
}
