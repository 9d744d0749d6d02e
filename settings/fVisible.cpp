#include "fVisible.h"

#include "IniFile.h"
#include "IntegerText.h"
#include "SettingsKeys.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/AutostartEntry.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/Services.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

TViewableForm *ViewableForm = nullptr;

namespace {

constexpr int WaitHelpTopic = 7;
constexpr int DialogHelpTopic = 101;

} // namespace

TViewableForm::TViewableForm(int waitTime, QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_waitTime(waitTime)
{
    setWindowTitle(QStringLiteral("Quillet! Options"));
    setFixedSize(354, 306);
    // Minimise from any source acts as Close; the title bar offers close alone.
    platform::services().appWindows().offerOnlyCloseButton(this);
    move(x(), 107);
    // A tool window is seldom the active one; its hints show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);

    const QString seeQuestionMark = QStringLiteral("Click the ? button to the left.");

    auto *label2 = new QLabel(QStringLiteral("Left Click Action:"), this);
    label2->move(40, 14);
    cboLeftclick = new QComboBox(this);
    cboLeftclick->setEditable(true);
    cboLeftclick->addItems({QStringLiteral("Quillet!"), QStringLiteral("Save this now!"),
                            QStringLiteral("Edit this now!"), QStringLiteral("View Editor"),
                            QStringLiteral("Options")});
    cboLeftclick->setCurrentText(QStringLiteral("Options"));
    cboLeftclick->setToolTip(QStringLiteral("What will QLT do when you left click the tray icon."));
    cboLeftclick->setGeometry(140, 10, 145, 24);

    auto questionMark = [this](int x, int y) {
        auto *button = new QToolButton(this);
        button->setText(QStringLiteral("?"));
        button->setAutoRaise(true);
        button->setGeometry(x, y, 20, 20);
        QFont bold = button->font();
        bold.setBold(true);
        button->setFont(bold);
        button->setStyleSheet(QStringLiteral("QToolButton { color: yellow; }"));
        return button;
    };
    SpeedButton1 = questionMark(65, 46);

    txtWait = new QLineEdit(QStringLiteral("250"), this);
    txtWait->setGeometry(88, 46, 37, 21);
    txtWait->setToolTip(seeQuestionMark);
    auto *label4 = new QLabel(QStringLiteral("Action Wait Time"), this);
    label4->move(128, 50);
    label4->setToolTip(seeQuestionMark);

    auto check = [this](const QString &text, int x, int y, bool checked, const QString &hint) {
        auto *box = new QCheckBox(text, this);
        box->move(x, y);
        box->setChecked(checked);
        box->setToolTip(hint);
        return box;
    };
    chkAutostart = check(QStringLiteral("Start when I log in"), 87, 72, true, {});
    chkWordwrap =
        check(QStringLiteral("Wordwrap on in Editor"), 87, 96, true,
              QStringLiteral("Default settings for wordwrap in the integrated text editor."));
    SpeedButton2 = questionMark(63, 120);
    chkLeadingspaces =
        check(QStringLiteral("Remove leading spaces from lines"), 87, 121, false, seeQuestionMark);
    chkprintdialog = check(QStringLiteral("Show Print Dialog Box before printing"), 86, 145, true,
                           QStringLiteral("Will QLT show the Print Dialog Box?"));
    chkPromptTitle = check(
        QStringLiteral("Prompt for Selection Title"), 86, 170, false,
        QStringLiteral("Will QLT ask for a bit of text to appear above the printed material?"));
    chkpagenumbers = check(QStringLiteral("Print page number at bottom of page"), 87, 194, true,
                           QStringLiteral("Will QLT print page numbers?"));
    connect(chkprintdialog, &QCheckBox::toggled, this, &TViewableForm::printDialogChecked);

    auto *label1 = new QLabel(QStringLiteral("Top of Each Page Header:"), this);
    label1->move(9, 222);
    txtHeader = new QLineEdit(this);
    txtHeader->setGeometry(8, 240, 335, 24);
    txtHeader->setToolTip(
        QStringLiteral("Text that will appear centered at top of all printed pages."));

    Button3 = new QPushButton(QStringLiteral("Help"), this);
    Button3->setGeometry(9, 275, 75, 25);
    Button1 = new QPushButton(QStringLiteral("Save"), this);
    Button1->setGeometry(187, 275, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setGeometry(267, 275, 75, 25);
    // A refused Save shows its error here, without unwinding through Qt.
    connect(Button1, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TViewableForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TViewableForm::Button3Click);

    buildPanels();
    buildShortcuts();
}

TViewableForm::~TViewableForm() = default;

void TViewableForm::buildPanels()
{
    auto panel = [this](int y, const QString &text, QLabel *&label) {
        auto *frame = new QFrame(this);
        frame->setGeometry(11, y, 335, 32);
        frame->setFrameShape(QFrame::Panel);
        frame->setFrameShadow(QFrame::Raised);
        frame->setAutoFillBackground(true);
        QPalette aqua = frame->palette();
        aqua.setColor(QPalette::Window, QColor(0, 255, 255));
        aqua.setColor(QPalette::WindowText, Qt::black);
        frame->setPalette(aqua);
        label = new QLabel(text, frame);
        label->setGeometry(frame->contentsRect());
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->installEventFilter(this);
        frame->hide();
        return frame;
    };
    Panel1 = panel(41,
                   QStringLiteral("If you get \"No text could be copied' errors, increase this "
                                  "number. Some browsers may require 3500+ to allow QLT to work."),
                   Label5);
    Panel2 = panel(113,
                   QStringLiteral("Text copied from some programs will often include multiple "
                                  "spaces in front of each line. This option will remove these "
                                  "spaces for you."),
                   Label6);
    connect(SpeedButton1, &QToolButton::clicked, Panel1, [this] {
        Panel1->show();
        Panel1->raise();
    });
    connect(SpeedButton2, &QToolButton::clicked, Panel2, [this] {
        Panel2->show();
        Panel2->raise();
    });
}

void TViewableForm::buildShortcuts()
{
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WidgetWithChildrenShortcut);
    connect(help, &QShortcut::activated, this,
            [] { platform::services().help().showContext(DialogHelpTopic); });
}

void TViewableForm::keyPressEvent(QKeyEvent *event)
{
    // A plain window has no default or cancel button of its own: Enter saves
    // and Esc closes when the control with the focus leaves the key alone.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Button1->click();
            return;
        case Qt::Key_Escape:
            Button2->click();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void TViewableForm::loadSettings()
{
    const IniFile ini = IniFile::programIni();
    cboLeftclick->setCurrentText(settings::read(ini, settings::LeftClickAction));
    if (settings::holdsWord(ini, settings::NoAutostart))
        chkAutostart->setChecked(false);
    if (settings::holdsWord(ini, settings::NoWordWrap))
        chkWordwrap->setChecked(false);
    chkLeadingspaces->setChecked(settings::read(ini, settings::RemoveLeadingBlanks));
    if (!settings::read(ini, settings::PromptTitle).isEmpty())
        chkPromptTitle->setChecked(true);
    const QString head = settings::read(ini, settings::Header);
    if (!head.isEmpty())
        txtHeader->setText(head);
    txtWait->setText(QString::number(m_waitTime));
    chkprintdialog->setChecked(settings::read(ini, settings::PrintDialogForOptions));
    chkpagenumbers->setChecked(settings::read(ini, settings::PageNumbers));
}

void TViewableForm::Button1Click()
{
    platform::services().appWindows().hideTaskbarEntry();
    const IniFile ini = IniFile::programIni();
    settings::write(ini, settings::Header, txtHeader->text());

    const std::optional<int> wait = settings::integerFromText(txtWait->text());
    if (!wait)
        throw platform::AppError(
            QStringLiteral("'%1' is not a valid integer value").arg(txtWait->text()));
    m_waitTime = *wait;
    emit waitTimeSaved(*wait);

    settings::write(ini, settings::LeftClickAction, cboLeftclick->currentText());
    settings::write(ini, settings::WaitTimeText, txtWait->text());

    const bool autostart = chkAutostart->isChecked();
    settings::write(ini, settings::NoAutostart, !autostart);
    // A session without a writable autostart folder only loses the entry.
    platform::AutostartEntry::write(QCoreApplication::applicationFilePath(), autostart);

    const bool wrap = chkWordwrap->isChecked();
    settings::write(ini, settings::NoWordWrap, !wrap);
    emit wordWrapSaved(wrap);

    settings::write(ini, settings::RemoveLeadingBlanks, chkLeadingspaces->isChecked());
    emit leadingBlanksSaved(chkLeadingspaces->isChecked());

    const bool prompt = chkPromptTitle->isChecked();
    settings::write(ini, settings::PromptTitle, prompt);
    emit promptTitleSaved(prompt ? QString::fromLatin1(settings::PromptTitle.word) : QString());

    settings::write(ini, settings::PrintDialogForOptions, chkprintdialog->isChecked());
    settings::write(ini, settings::PageNumbers, chkpagenumbers->isChecked());
    hide();
}

void TViewableForm::Button2Click()
{
    hide();
    platform::services().appWindows().hideTaskbarEntry();
}

void TViewableForm::Button3Click()
{
    platform::services().help().showContext(WaitHelpTopic);
}

void TViewableForm::closeEvent(QCloseEvent *event)
{
    // The dialog lives as long as the program: closing only hides it.
    event->ignore();
    Button2Click();
}

void TViewableForm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Minimising acts like closing; the dialog comes back unminimised.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        QMetaObject::invokeMethod(this, &TViewableForm::Button2Click, Qt::QueuedConnection);
    }
}

bool TViewableForm::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Label5 || watched == Label6) && event->type() == QEvent::MouseButtonPress) {
        Panel1->hide();
        Panel2->hide();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
