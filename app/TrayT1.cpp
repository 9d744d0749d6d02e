#include "TrayT1.h"

#include "AppIcon.h"
#include "editor/edits.h"
#include "imaging/Editscreen.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/Parking.h"
#include "platform/Printer.h"
#include "platform/RichEdit.h"
#include "platform/ScreenPlacement.h"
#include "platform/Services.h"
#include "platform/SingleInstance.h"
#include "platform/TrayIcon.h"
#include "platform/WaitLoop.h"
#include "printing.h"
#include "richprint/RichPrint.h"
#include "settings/About.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "settings/fVisible.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QTextCursor>

int WaitTime = 1000;
QString PromptTitle;
bool TrimLeadingBlanks = false;
QString SelectionTitle;
bool TitleAccepted = false;
QString CaptureStatus;
QString PendingAction;
QString PrintCancel;
QString SaveAnswer;
bool WindowActivated = false;

TTrayForm *TrayForm = nullptr;

namespace {
// How long the "Printing ..." window gives the user to cancel a print.
constexpr int PrintCancelMs = 2000;
} // namespace

TTrayForm::TTrayForm(QWidget *parent, Command command) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("+"));
    resize(206, 106);

    // Only one copy runs per user and display: a later copy brings the first
    // one forward and ends before it shows anything.
    m_instance = new platform::SingleInstance(this);
    if (!m_instance->claim(platform::SingleInstance::defaultKey(), requestName(command))) {
        m_secondCopy = true;
        return;
    }
    connect(m_instance, &platform::SingleInstance::activationRequested, this,
            &TTrayForm::bringForwardOnRequest);
    // Queued: the command runs wait loops, which must not run inside the
    // socket's own signal.
    connect(
        m_instance, &platform::SingleInstance::requestReceived, this,
        [this](const QByteArray &request) {
            if (const std::optional<Command> asked = commandFromRequest(request))
                runCommand(*asked);
        },
        Qt::QueuedConnection);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->window() != this)
            m_lastActive = now->window();
    });

    buildMenu();

    TrayIcon1 = platform::services().createTrayIcon(this);
    TrayIcon1->setIcon(appIcon());
    TrayIcon1->setToolTip(QStringLiteral("Quillet!"));
    connect(TrayIcon1.get(), &platform::TrayIcon::clicked, this, &TTrayForm::TrayIcon1Click);
    connect(TrayIcon1.get(), &platform::TrayIcon::contextMenuRequested, this,
            &TTrayForm::openPopupMenu);
    TrayIcon1->setActive(true);

    FormCreate();
}

TTrayForm::~TTrayForm()
{
    delete PopupMenu1;
}

TRichPrinter *TTrayForm::RichPrinter1()
{
    if (!m_richPrinter) {
        m_richPrinter = new TRichPrinter(this);
        setupRichPrinter1();
    }
    return m_richPrinter;
}

void TTrayForm::setupRichPrinter1()
{
    // The unit goes first: the engine's millimetre defaults are converted to
    // inches once, then overwritten where the tray has its own value. The
    // margins are one inch less one unit in the last place.
    m_richPrinter->setMeasureUnit(muInches);
    m_richPrinter->setSaveMargins(true);
    m_richPrinter->setMarginTop(0.9999999999999999);
    m_richPrinter->setMarginBottom(0.9999999999999999);
    m_richPrinter->setMarginLeft(0.9999999999999999);
    m_richPrinter->setMarginRight(0.9999999999999999);
    m_richPrinter->setLogoWidth(0.984251968503937);
    m_richPrinter->setLogoHeight(0.7874015748031497);
    m_richPrinter->setHeader(QStringLiteral("{$TITLE}"));
    m_richPrinter->setHeaderFormat(QStringLiteral(">   3.937"));
    m_richPrinter->setFooter(QStringLiteral("Page {$PAGE}"));
    m_richPrinter->setFooterFormat(QStringLiteral(">   3.937"));
    m_richPrinter->setShowProgress(false);
    m_richPrinter->setBorderOffset(0.07874015748031496);
    m_richPrinter->setOptions_Dialog(poMargins);
    // Courier New of 13 screen pixels (10 points) in the window-text colour;
    // without a printer the engine keeps its own Courier New of 10 points.
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(13);
    m_richPrinter->setFont_HeaderFooter(font,
                                        QGuiApplication::palette().color(QPalette::WindowText));
}

void TTrayForm::buildMenu()
{
    // The menu has no parent widget: a parent would be mapped (off screen)
    // as the menu's transient owner, and the tray form must stay unmapped.
    PopupMenu1 = new QMenu;
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TTrayForm::PopupMenu1Popup);

    auto item = [this](const char *name, const QString &caption, void (TTrayForm::*handler)()) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, action, handler] {
            // Qt flips a checkable item's mark before it reports the click;
            // the handlers set the marks themselves, so undo that first.
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            platform::runGuarded([this, handler] { (this->*handler)(); });
        });
        return action;
    };
    Quillet1 = item("Quillet1", QStringLiteral("&Quillet!"), &TTrayForm::Quillet1Click);
    SaveSelection1 =
        item("SaveSelection1", QStringLiteral("&Save this now!"), &TTrayForm::SaveSelection1Click);
    Edit = item("Edit", QStringLiteral("&Edit this now!"), &TTrayForm::EditClick);
    ViewEditor1 = item("ViewEditor1", QStringLiteral("&View Editor"), &TTrayForm::ViewEditor1Click);
    CaptureText1 =
        item("CaptureText1", QStringLiteral("Capture &Text"), &TTrayForm::CaptureText1Click);
    CaptureScreen1 =
        item("CaptureScreen1", QStringLiteral("Capture S&creen"), &TTrayForm::CaptureScreen1Click);
    Remember1 = item("Remember1", QStringLiteral("&Remember"), &TTrayForm::Remember1Click);
    UsePrintDialog1 = item("UsePrintDialog1", QStringLiteral("Use Print Dialog"),
                           &TTrayForm::UsePrintDialog1Click);
    PageSetup1 = item("PageSetup1", QStringLiteral("Text &Margins"), &TTrayForm::PageSetup1Click);
    Test11 = item("Test11", QStringLiteral("&Options"), &TTrayForm::options);
    HelpReg1 = item("HelpReg1", QStringLiteral("&Help"), &TTrayForm::HelpReg1Click);
    About1 = item("About1", QStringLiteral("&About"), &TTrayForm::About1Click);
    Test31 = item("Test31", QStringLiteral("&Exit"), &TTrayForm::Test31Click);

    // The check marks are the program's live settings. A click must always
    // flip the mode, so the items are not grouped exclusively.
    for (QAction *a : {CaptureText1, CaptureScreen1, Remember1, UsePrintDialog1})
        a->setCheckable(true);
    CaptureText1->setChecked(true);

    PopupMenu1->addActions({Quillet1, SaveSelection1, Edit, ViewEditor1});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({CaptureText1, CaptureScreen1, Remember1});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({PageSetup1, Test11, HelpReg1, About1});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Test31);
}

void TTrayForm::FormCreate()
{
    move(-250, y());
    const IniFile ini = IniFile::programIni();
    if (!settings::read(ini, settings::PromptTitle).isEmpty())
        PromptTitle = QStringLiteral("yes");
    if (!settings::read(ini, settings::ScreenCapture).isEmpty()) {
        CaptureScreen1->setChecked(true);
        CaptureText1->setChecked(false);
        Remember1->setEnabled(false);
        PageSetup1->setEnabled(false);
    }
    WaitTime = settings::read(ini, settings::WaitTime);
    move(-platform::ParkOffset, y());
    UsePrintDialog1->setChecked(settings::read(ini, settings::PrintDialogForTray));
    TrimLeadingBlanks = settings::read(ini, settings::RemoveLeadingBlanks);
    hide();
}

void TTrayForm::showEvent(QShowEvent *event)
{
    platform::services().appWindows().hideTaskbarEntry();
    QWidget::showEvent(event);
}

bool TTrayForm::textMode() const
{
    return CaptureText1->isChecked();
}

bool TTrayForm::screenMode() const
{
    return CaptureScreen1->isChecked();
}

QWidget *TTrayForm::lastActiveWindow() const
{
    return m_lastActive;
}

void TTrayForm::bringForwardOnRequest()
{
    QWidget *window = m_lastActive;
    if (window && window->isVisible())
        platform::services().appWindows().bringToFront(window);
}

void TTrayForm::openPopupMenu(const QPoint &globalPos)
{
    // The menu's right edge lies at the cursor.
    PopupMenu1->ensurePolished();
    const QSize size = PopupMenu1->sizeHint();
    PopupMenu1->popup(globalPos - QPoint(size.width(), 0));
}

void TTrayForm::TrayIcon1Click()
{
    const QString action = settings::read(IniFile::programIni(), settings::LeftClickAction);
    if (Remember1->isChecked()) {
        if (action == QLatin1String("View Editor"))
            showEditor();
        else
            EditClick();
        return;
    }
    if (action == QLatin1String("Options") || action.isEmpty())
        options();
    else if (action == QLatin1String("Quillet!"))
        Quillet1Click();
    else if (action == QLatin1String("Save this now!"))
        SaveSelection1Click();
    else if (action == QLatin1String("Edit this now!"))
        EditClick();
    else if (action == QLatin1String("View Editor"))
        showEditor();
}

void TTrayForm::PopupMenu1Popup()
{
    SaveAnswer.clear();
}

void TTrayForm::Quillet1Click()
{
    CaptureStatus = QStringLiteral("no");
    PendingAction = QStringLiteral("printthis");
    EditClick();
    if (CaptureStatus == QLatin1String("stop")) {
        CaptureStatus.clear();
        return;
    }
    // In screen mode the region selection prints once the user has marked it.
    if (textMode())
        Prints();
}

void TTrayForm::Prints()
{
    // The tray form itself is never mapped; the dialogs below come forward
    // on their own.
    auto &appWindows = platform::services().appWindows();
    if (UsePrintDialog1->isChecked()) {
        appWindows.bringForward();
        const bool accepted = RichPrinter1()->printer().printDialog(Editor);
        appWindows.hideTaskbarEntry();
        if (!accepted)
            return;
    } else {
        printit->show();
        appWindows.bringToFront(printit);
        QElapsedTimer clock;
        clock.start();
        while (PrintCancel != QLatin1String("stop") && clock.elapsed() <= PrintCancelMs)
            platform::waitMs(10);
        printit->hide();
    }
    if (PrintCancel == QLatin1String("stop")) {
        PrintCancel.clear();
        return;
    }
    RichPrinter1()->setTitle(QStringLiteral("Quillet!"));
    if (textMode())
        printText();
    else
        printPicture();
}

void TTrayForm::printText()
{
    platform::RichEdit *memo = Editor->memo;
    QTextCursor cursor = memo->textCursor();
    const int insertionPoint = cursor.position();
    cursor.movePosition(QTextCursor::Start);
    memo->setTextCursor(cursor);
    Editor->fontit();
    RichPrinter1()->setFooter(
        ViewableForm->chkpagenumbers->isChecked() ? QStringLiteral("Page {$PAGE}") : QString());
    // Read afresh: the options dialog writes it without telling the tray.
    RichPrinter1()->setHeader(settings::read(IniFile::programIni(), settings::Header));
    RichPrinter1()->PrintRichEdit(memo, 1);
    cursor = memo->textCursor();
    cursor.setPosition(std::min(insertionPoint, memo->document()->characterCount() - 1));
    memo->setTextCursor(cursor);
}

void TTrayForm::PrinterSetup(QWidget *owner)
{
    RichPrinter1()->printer().printerSetup(owner);
}

void TTrayForm::showEditor()
{
    platform::unpark(Editor);
    platform::services().appWindows().bringToFront(Editor);
}

void TTrayForm::runCommand(Command command)
{
    // A desktop hotkey leaves the focus in the user's window: the capture
    // copies from it rather than from whichever window is on top.
    m_commandTarget = platform::services().windows().activeWindow();
    PopupMenu1Popup(); // as opening the menu does
    switch (command) {
    case Command::Print:
        Quillet1->trigger();
        break;
    case Command::Save:
        SaveSelection1->trigger();
        break;
    case Command::Edit:
        Edit->trigger();
        break;
    case Command::View:
        ViewEditor1->trigger();
        break;
    case Command::Options:
        Test11->trigger();
        break;
    case Command::Run:
    case Command::Help:
    case Command::Version:
        break;
    }
    m_commandTarget = 0;
}

void TTrayForm::ViewEditor1Click()
{
    platform::services().appWindows().showTaskbarEntry();
    if (screenMode()) {
        EditScreen->show();
        return;
    }
    platform::unpark(Editor);
    Editor->show();
}

void TTrayForm::flipCaptureMode()
{
    CaptureScreen1->setChecked(!CaptureScreen1->isChecked());
    CaptureText1->setChecked(!CaptureText1->isChecked());
    Remember1->setEnabled(!Remember1->isEnabled());
    PageSetup1->setEnabled(!PageSetup1->isEnabled());
}

void TTrayForm::CaptureScreen1Click()
{
    flipCaptureMode();
    Remember1->setChecked(false);
    Quillet1->setEnabled(true);
    SaveSelection1->setEnabled(true);
    settings::write(IniFile::programIni(), settings::ScreenCapture, screenMode());
}

void TTrayForm::CaptureText1Click()
{
    flipCaptureMode();
    settings::write(IniFile::programIni(), settings::ScreenCapture, screenMode());
}

void TTrayForm::Remember1Click()
{
    Remember1->setChecked(!Remember1->isChecked());
    Quillet1->setEnabled(!Remember1->isChecked());
    SaveSelection1->setEnabled(!Remember1->isChecked());
}

void TTrayForm::UsePrintDialog1Click()
{
    UsePrintDialog1->setChecked(!UsePrintDialog1->isChecked());
    settings::write(IniFile::programIni(), settings::PrintDialogForTray,
                    UsePrintDialog1->isChecked());
}

void TTrayForm::PageSetup1Click()
{
    RichPrinter1()->PageSetup();
}

void TTrayForm::options()
{
    platform::services().appWindows().showTaskbarEntry();
    ViewableForm->show();
    // Centred across the screen at its own height, also once the window
    // manager has framed it.
    if (!m_optionsPlacement) {
        m_optionsPlacement = new platform::ScreenPlacement(0, this);
        m_optionsPlacement->watch(ViewableForm);
    }
    m_optionsPlacement->placeNow(ViewableForm);
    platform::services().appWindows().bringToFront(ViewableForm);
}

void TTrayForm::HelpReg1Click()
{
    platform::services().help().showContext(2);
}

void TTrayForm::About1Click()
{
    AboutBox->show();
    platform::services().appWindows().bringToFront(AboutBox);
}

void TTrayForm::Test31Click()
{
    close();
    // exit() rather than quit(): quit() first asks every window to close,
    // and the program's windows only hide when closed.
    QCoreApplication::exit(0);
}
