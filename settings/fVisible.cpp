#include "fVisible.h"

#include "IniFile.h"
#include "SettingsKeys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TViewableForm *ViewableForm = nullptr;

TViewableForm::TViewableForm(int waitTime, QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_waitTime(waitTime)
{
    setWindowTitle(QStringLiteral("Quillet! Options"));
    setFixedSize(354, 306);
    move(x(), 107);

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

    txtWait = new QLineEdit(QStringLiteral("250"), this);
    txtWait->setGeometry(88, 46, 37, 21);
    txtWait->setToolTip(QStringLiteral("Click the ? button to the left."));
    auto *label4 = new QLabel(QStringLiteral("Action Wait Time"), this);
    label4->move(128, 50);

    auto check = [this](const QString &text, int x, int y, bool checked) {
        auto *box = new QCheckBox(text, this);
        box->move(x, y);
        box->setChecked(checked);
        return box;
    };
    chkAutostart = check(QStringLiteral("Start when Windows starts"), 87, 72, true);
    chkWordwrap = check(QStringLiteral("Wordwrap on in Editor"), 87, 96, true);
    chkLeadingspaces = check(QStringLiteral("Remove leading spaces from lines"), 87, 121, false);
    chkprintdialog = check(QStringLiteral("Show Print Dialog Box before printing"), 86, 145, true);
    chkPromptTitle = check(QStringLiteral("Prompt for Selection Title"), 86, 170, false);
    chkpagenumbers = check(QStringLiteral("Print page number at bottom of page"), 87, 194, true);
    connect(chkprintdialog, &QCheckBox::toggled, this, &TViewableForm::printDialogChecked);

    auto *label1 = new QLabel(QStringLiteral("Top of Each Page Header:"), this);
    label1->move(9, 222);
    txtHeader = new QLineEdit(this);
    txtHeader->setGeometry(8, 240, 335, 24);

    auto *button3 = new QPushButton(QStringLiteral("Help"), this);
    button3->setGeometry(9, 275, 75, 25);
    auto *button1 = new QPushButton(QStringLiteral("Save"), this);
    button1->setGeometry(187, 275, 75, 25);
    button1->setDefault(true);
    auto *button2 = new QPushButton(QStringLiteral("Close"), this);
    button2->setGeometry(267, 275, 75, 25);
    connect(button2, &QPushButton::clicked, this, &QWidget::hide);
}

TViewableForm::~TViewableForm() = default;

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

void TViewableForm::closeEvent(QCloseEvent *event)
{
    // The dialog lives as long as the program: closing only hides it.
    event->ignore();
    hide();
}
