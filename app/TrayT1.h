#pragma once

#include "CommandLine.h"
#include "platform/DesktopWindows.h"

#include <QString>
#include <QWidget>

#include <memory>

class QAction;
class QImage;
class QMenu;
class QPainter;
class QRect;
class TRichPrinter;

namespace platform {
class ScreenPlacement;
class SingleInstance;
class TrayIcon;
} // namespace platform

// Shared state of the capture commands (one GUI thread, no locking). The
// markers are short texts compared exactly.
extern int WaitTime;           // action wait time, milliseconds
extern QString PromptTitle;    // "yes": ask for a selection title
extern bool TrimLeadingBlanks; // remove leading blanks from captured lines
extern QString SelectionTitle; // the last title typed
extern bool TitleAccepted;     // the last title prompt ended with OK
extern QString CaptureStatus;  // empty, "no" or "stop"
extern QString PendingAction;  // "printthis", "savethis" or empty
extern QString PrintCancel;    // "stop" after "Cancel Print Job"
extern QString SaveAnswer;     // "overwrite", "addtotop", "addtobottom", "cancel" or empty
extern bool WindowActivated;   // the capture has activated the user's window

// The main form: a hidden tool window that owns the tray icon, the tray menu
// and the print engine, and dispatches the capture commands.
class TTrayForm : public QWidget {
    Q_OBJECT
public:
    // `command` is what this copy was started for: a later copy passes an
    // action command on to the copy already running.
    explicit TTrayForm(QWidget *parent = nullptr, Command command = Command::Run);
    ~TTrayForm() override;

    // True when another copy was already running: this copy asked it to come
    // forward (or to run its command) and must end at once, before any
    // further form is created.
    bool isSecondCopy() const { return m_secondCopy; }

    std::unique_ptr<platform::TrayIcon> TrayIcon1;
    QMenu *PopupMenu1 = nullptr;
    // The print engine, a child of the form. It is built on first use: until
    // something prints or sets up the page the program does not open the
    // print service (its libraries cost memory for the whole idle time).
    TRichPrinter *RichPrinter1();

    QAction *Quillet1 = nullptr;
    QAction *SaveSelection1 = nullptr;
    QAction *Edit = nullptr;
    QAction *ViewEditor1 = nullptr;
    QAction *CaptureText1 = nullptr;
    QAction *CaptureScreen1 = nullptr;
    QAction *Remember1 = nullptr;
    QAction *UsePrintDialog1 = nullptr; // never shown in the menu
    QAction *PageSetup1 = nullptr;
    QAction *Test11 = nullptr;
    QAction *HelpReg1 = nullptr;
    QAction *About1 = nullptr;
    QAction *Test31 = nullptr;

    bool textMode() const;
    bool screenMode() const;

    // The window of ours that was active last, brought forward when another
    // copy of the program starts.
    QWidget *lastActiveWindow() const;

public slots:
    void TrayIcon1Click();
    void PopupMenu1Popup();
    void Quillet1Click();
    // Prints the current capture after the print dialog or the two-second
    // "Printing ..." window: the editor's document in text mode, the image
    // editor's picture on one page in screen mode.
    void Prints();
    void SaveSelection1Click();
    // Saves the current capture: the editor's document in text mode, the
    // image editor's picture in screen mode.
    void Saver();
    // The printer-selection dialog on the program's printer, over `owner`.
    void PrinterSetup(QWidget *owner);
    void EditClick();
    void ViewEditor1Click();
    void CaptureText1Click();
    void CaptureScreen1Click();
    void Remember1Click();
    void UsePrintDialog1Click();
    void PageSetup1Click();
    void options();
    void HelpReg1Click();
    void About1Click();
    void Test31Click();

    // Shows the text editor and brings it to the front, first moving it back
    // on screen when it is parked.
    void showEditor();

    // Runs an action command of the command line as its tray menu item
    // would run; a capture copies from the window that has the focus now.
    void runCommand(Command command);

public:
    // Writes the editor's document to `fileName` as rich text or plain text,
    // first merging it with the file's old content when SaveAnswer is
    // "addtotop" or "addtobottom". Throws AppError when reading or writing fails.
    void writeCapture(const QString &fileName, bool rich);

    // Called for every top-level window, topmost first, before a capture:
    // the first ordinary window of another program is activated. Always
    // returns true (the enumeration goes on).
    bool ActivatePreviousWindow(platform::WindowHandle window, qintptr userValue);

protected:
    void showEvent(QShowEvent *event) override;

    // The x position that centres `text`, in the running job's current font,
    // on the page (may be negative for text wider than the page).
    int CenterText(const QString &text);
    // Reduces `bitmap` to 256 colours, draws it stretched into `target` on
    // the running job's page and ends the job; on failure the job is
    // aborted and the error passed on.
    void PrintBitmap(const QRect &target, QImage bitmap);

private:
    void printText();
    // The picture branch of Prints (screen mode): one job of one page.
    void printPicture();
    void saveText();
    // The picture branch of Saver (screen mode).
    void savePicture();
    // Asks what to do with the existing file `fileName`; false when the
    // answer is "cancel".
    bool askFileExists(const QString &fileName, bool adding);
    void mergeCapture(const QString &fileName, bool rich);
    void buildMenu();
    void setupRichPrinter1();
    TRichPrinter *m_richPrinter = nullptr;
    platform::ScreenPlacement *m_optionsPlacement = nullptr;
    void FormCreate();
    void flipCaptureMode();
    void openPopupMenu(const QPoint &globalPos);
    void bringForwardOnRequest();
    void askSelectionTitle();
    void addTitleLines();
    void reportNothingCopied();
    // Puts the selection of the activated window on the clipboard the way
    // its kind of program copies.
    void copySelection();
    // Pastes the clipboard into the editor (title lines first, blanks trimmed).
    void pasteCapture();

    bool m_secondCopy = false;
    // The window the capture activated, or 0.
    platform::WindowHandle m_userWindow = 0;
    // The window a command's capture copies from, taken when the command
    // arrived; 0 outside a command.
    platform::WindowHandle m_commandTarget = 0;
    platform::SingleInstance *m_instance = nullptr;
    QWidget *m_lastActive = nullptr;
};

extern TTrayForm *TrayForm;
