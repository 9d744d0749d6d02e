#include "Startup.h"

#include "DesktopSession.h"
#include "TrayT1.h"
#include "editor/edits.h"
#include "fexists.h"
#include "imaging/Editscreen.h"
#include "imaging/PictureFileDialogs.h"
#include "imaging/thescreen.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/FreeMemory.h"
#include "platform/Services.h"
#include "printing.h"
#include "settings/About.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"

#include <QAction>
#include <QCoreApplication>
#include <QTimer>

int createForms(Command command)
{
    // An oversized settings file is met during start-up, while the forms read
    // their settings: its message waits until the event loop runs.
    IniFile::setOversizeNotice([](const QString &message) {
        QTimer::singleShot(0, [message] { platform::showErrorBox(message); });
    });
    platform::services().appWindows().hideTaskbarEntry();
    QCoreApplication::processEvents();

    TrayForm = new TTrayForm(nullptr, command);
    if (TrayForm->isSecondCopy()) {
        delete TrayForm;
        TrayForm = nullptr;
        return 0;
    }

    ViewableForm = new TViewableForm(WaitTime);
    QObject::connect(ViewableForm, &TViewableForm::printDialogChecked, TrayForm->UsePrintDialog1,
                     &QAction::setChecked);
    ViewableForm->loadSettings();
    // Save hands the running choices to the tray's shared state and, once the
    // editor exists, to the editor.
    QObject::connect(ViewableForm, &TViewableForm::waitTimeSaved, [](int ms) { WaitTime = ms; });
    QObject::connect(ViewableForm, &TViewableForm::leadingBlanksSaved,
                     [](bool on) { TrimLeadingBlanks = on; });
    QObject::connect(ViewableForm, &TViewableForm::promptTitleSaved,
                     [](const QString &marker) { PromptTitle = marker; });

    AboutBox = new TAboutBox;
    printit = new Tprintit;
    saveprompt = new Tsaveprompt;
    Editor = new TEditor;
    // The editor's print, save and printer-setup buttons run the tray's
    // print and save and the print engine's page setup.
    Editor->onPrint = [] { TrayForm->Prints(); };
    Editor->onPageSetup = [] { TrayForm->PageSetup1Click(); };
    Editor->onSave = [] { TrayForm->Saver(); };
    QObject::connect(ViewableForm, &TViewableForm::wordWrapSaved, Editor, &TEditor::setWordWrap);
    EditScreen = new TEditScreen;
    // The image editor's print and save buttons run the tray's, which choose
    // text or picture by the capture mode; its printer setup chooses the
    // printer every later print uses; open reads a picture file into it.
    EditScreen->onPrint = [] { TrayForm->Prints(); };
    PictureDialogs = new PictureFileDialogs(EditScreen);
    EditScreen->onOpen = [] { PictureDialogs->Open(*EditScreen); };
    EditScreen->onSave = [] { TrayForm->Saver(); };
    EditScreen->onPrinterSetup = [] { TrayForm->PrinterSetup(EditScreen); };
    // A screen capture completes in the frozen-screen window, long after the
    // tray's command returned: it reads the tray's markers and runs the tray's
    // save or print.
    CaptureTrayLink &tray = captureTray();
    tray.captureStatus = &CaptureStatus;
    tray.pendingAction = &PendingAction;
    tray.saver = [] { TrayForm->Saver(); };
    tray.prints = [] { TrayForm->Prints(); };

    if (!requestName(command).isEmpty())
        QTimer::singleShot(0, TrayForm, [command] { TrayForm->runCommand(command); });
    showStartupNotices(*TrayForm->TrayIcon1);
    // Once the start-up's events are handled, what it built and dropped is
    // given back: the program may idle for days.
    QTimer::singleShot(0, [] { platform::returnFreeMemory(); });
    return -1;
}

void destroyForms()
{
    closeStartupNotices();
    delete EditScreen;
    EditScreen = nullptr;
    PictureDialogs = nullptr; // a child of the image editor
    delete Editor;
    Editor = nullptr;
    delete saveprompt;
    saveprompt = nullptr;
    delete printit;
    printit = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete ViewableForm;
    ViewableForm = nullptr;
    delete TrayForm;
    TrayForm = nullptr;
}
