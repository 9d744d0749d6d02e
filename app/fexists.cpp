#include "fexists.h"

#include "FileLbl.h"
#include "TrayT1.h"
#include "platform/AppWindows.h"
#include "platform/Services.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

Tsaveprompt *saveprompt = nullptr;

Tsaveprompt::Tsaveprompt(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("saveprompt"));
    setWindowTitle(QStringLiteral("Save this now!"));
    setFixedSize(352, 93);

    Label1 = new TFileLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label1->setDirection(drFromLeft);
    Label1->setSeparator(QStringLiteral("/"));
    Label1->setGeometry(1, 9, 349, 17);

    auto *text =
        new QLabel(QStringLiteral("This file already exists. What would you like to do?"), this);
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(10);
    text->setFont(font);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    text->setPalette(palette);
    text->move(25, 35);
    text->adjustSize();

    struct Button {
        QPushButton **button;
        const char *name;
        QString caption;
        int x;
        QString answer;
    };
    const Button buttons[] = {
        {&Overwrite, "Overwrite", QStringLiteral("Overwrite"), 6, QStringLiteral("overwrite")},
        {&AddToTop, "AddToTop", QStringLiteral("Add to top"), 92, QStringLiteral("addtotop")},
        {&AddToBottom, "AddToBottom", QStringLiteral("Add to bottom"), 177,
         QStringLiteral("addtobottom")},
        {&Cancel, "Cancel", QStringLiteral("Cancel"), 263, QStringLiteral("cancel")},
    };
    for (const Button &b : buttons) {
        auto *button = new QPushButton(b.caption, this);
        button->setObjectName(QLatin1String(b.name));
        button->setGeometry(b.x, 64, 80, 25);
        const QString value = b.answer;
        connect(button, &QPushButton::clicked, this, [this, value] { answer(value); });
        *b.button = button;
    }
    // Enter answers "Overwrite" unless another button has the focus; Esc
    // answers "Cancel" (see reject()).
    Overwrite->setDefault(true);
}

Tsaveprompt::~Tsaveprompt() = default;

void Tsaveprompt::ask(const QString &fileName, bool adding)
{
    Label1->setFileName(fileName);
    AddToTop->setEnabled(adding);
    AddToBottom->setEnabled(adding);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.center() - rect().center());
    Overwrite->setFocus();
    // A prompt minimised last time comes back in its normal state.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    platform::services().appWindows().bringToFront(this);
}

void Tsaveprompt::answer(const QString &value)
{
    SaveAnswer = value;
    hide();
}

void Tsaveprompt::reject()
{
    answer(QStringLiteral("cancel"));
}

void Tsaveprompt::closeEvent(QCloseEvent *event)
{
    event->ignore();
    answer(QStringLiteral("cancel"));
}

void Tsaveprompt::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Minimising answers like closing. The window is hidden once the
        // window manager has finished minimising it.
        SaveAnswer = QStringLiteral("cancel");
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}
