#include "TrayT1.h"

#include "CopyMethod.h"
#include "editor/LeadingBlanks.h"
#include "editor/edits.h"
#include "imaging/Editscreen.h"
#include "platform/AppWindows.h"
#include "platform/Clipboard.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/SyntheticInput.h"
#include "platform/WaitLoop.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

#include <utility>

// The capture: the user's window is activated, sent the copy keystroke, and
// what reaches the clipboard is pasted into the editor.

namespace {
// Time for the user's window to settle after activation, before the copy
// keystroke reaches it.
constexpr int SettleMs = 100;
// How long the copy keystroke waits for the user to let go of the modifier
// keys of the hotkey that started the capture.
constexpr int ModifierWaitMs = 2000;
constexpr int ModifierPollMs = 10;
// A program may take the clipboard twice in a row (plain text first, then a
// richer offer): the capture reads once the owner has stayed for this long.
constexpr int CopySettleMs = 40;

} // namespace

void TTrayForm::EditClick()
{
    // The tray form is never seen; a pager-style activation below needs no
    // foreground rights of ours, so there is nothing else to bring forward.
    hide();

    if (PromptTitle == QLatin1String("yes"))
        askSelectionTitle();

    WindowActivated = false;
    m_userWindow = 0;
    // A command from a desktop hotkey copies from the window the user was in.
    if (m_commandTarget)
        ActivatePreviousWindow(std::exchange(m_commandTarget, 0), 0);
    for (platform::WindowHandle window : platform::services().windows().topLevelWindows())
        ActivatePreviousWindow(window, 0);

    if (screenMode()) {
        platform::waitMs(SettleMs);
        EditScreen->CaptureButClick();
        return;
    }

    platform::Clipboard &clipboard = platform::services().clipboard();
    if (Editor->isVisible())
        Editor->hide();
    if (!Remember1->isChecked())
        Editor->memo->clear();
    // The user's clipboard is kept and given back afterwards; meanwhile the
    // clipboard is empty, so that only the new copy is seen.
    const std::unique_ptr<QMimeData> saved = clipboard.save();
    clipboard.clear();
    platform::waitMs(SettleMs);
    copySelection();

    const auto giveBackClipboard = [&] {
        if (saved)
            clipboard.offer(*saved);
        else
            clipboard.clear();
    };
    if (clipboard.hasText()) {
        pasteCapture();
        giveBackClipboard();
        if (CaptureStatus != QLatin1String("no"))
            showEditor();
    } else {
        giveBackClipboard();
        reportNothingCopied();
    }

    if (CaptureStatus != QLatin1String("stop"))
        CaptureStatus.clear();
}

void TTrayForm::copySelection()
{
    platform::Clipboard &clipboard = platform::services().clipboard();
    const QStringList windowClass =
        m_userWindow ? platform::services().windows().windowClass(m_userWindow) : QStringList();
    const CopyMethod method = copyMethodFor(
        windowClass, settings::read(IniFile::programIni(), settings::TerminalClasses));
    // Ctrl+C in a terminal would interrupt the program running in it.
    if (method == CopyMethod::Primary) {
        clipboard.copyPrimary(WaitTime);
        return;
    }
    // A hotkey's modifiers may still be held; they would join the keystroke.
    platform::SyntheticInput &input = platform::services().input();
    platform::waitUntil(
        ModifierWaitMs, [&input] { return !input.modifiersDown(); }, ModifierPollMs);
    const quint8 modifiers = method == CopyMethod::CtrlShiftC
                                 ? quint8(platform::CtrlBit | platform::ShiftBit)
                                 : quint8(platform::CtrlBit);
    input.PostKeyEx32(platform::VkC, modifiers, false);
    clipboard.waitForCopy(WaitTime, CopySettleMs);
}

void TTrayForm::pasteCapture()
{
    Editor->fontit();
    if (TitleAccepted)
        addTitleLines();
    // The rich-text control takes the richest format offered: RTF, then
    // HTML, then plain text.
    Editor->memo->paste();
    if (TrimLeadingBlanks)
        removeLeadingBlanks(Editor->memo->document());
    Editor->memoSelectionChange();
}

bool TTrayForm::ActivatePreviousWindow(platform::WindowHandle window, qintptr userValue)
{
    Q_UNUSED(userValue);
    // Windows below the chosen one are visited but need no questions asked.
    if (WindowActivated)
        return true;
    platform::DesktopWindows &windows = platform::services().windows();
    // Passed over: hidden and minimised windows, dialogs and palettes owned
    // by another window, panels, docks and other tool windows, and every
    // window of this program.
    if (!windows.isVisible(window) || windows.isMinimized(window) || windows.hasOwner(window) ||
        windows.isToolWindow(window) || windows.isOwnWindow(window))
        return true;
    windows.activate(window);
    WindowActivated = true;
    m_userWindow = window;
    return true;
}

void TTrayForm::askSelectionTitle()
{
    QInputDialog dialog;
    dialog.setObjectName(QStringLiteral("SelectionTitleDialog"));
    dialog.setWindowTitle(QStringLiteral("Selection Title"));
    dialog.setLabelText(QStringLiteral("Text to appear above copied area."));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(SelectionTitle.left(255));
    if (auto *field = dialog.findChild<QLineEdit *>())
        field->setMaxLength(255);
    dialog.show();
    platform::services().appWindows().bringToFront(&dialog);
    if (dialog.exec() == QDialog::Accepted) {
        TitleAccepted = true;
        SelectionTitle = dialog.textValue();
    } else {
        TitleAccepted = false;
    }
}

void TTrayForm::addTitleLines()
{
    // The title as a line of its own (after whatever the document holds),
    // then an empty line; the capture follows on the next line.
    platform::RichEdit *memo = Editor->memo;
    const QTextCharFormat format = memo->currentCharFormat();
    QTextCursor cursor = memo->textCursor();
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(SelectionTitle, format);
    cursor.insertBlock();
    cursor.insertBlock();
    memo->setTextCursor(cursor);
    memo->setCurrentCharFormat(format);
}

void TTrayForm::reportNothingCopied()
{
    platform::RichEdit *memo = Editor->memo;
    memo->textCursor().insertText(QStringLiteral("No text could be copied."));
    memo->selectAll();

    auto &appWindows = platform::services().appWindows();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillet! Error"),
                    QStringLiteral("Troubleshooting:\r\n"
                                   "  1. Check to make sure that you had text selected.\r\n"
                                   "  2. Increase \"Action Wait Time\" in Options"),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("CaptureErrorBox"));
    appWindows.bringForward(&box);
    box.exec();
    appWindows.hideTaskbarEntry();
    CaptureStatus = QStringLiteral("stop");
}
