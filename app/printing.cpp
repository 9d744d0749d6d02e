#include "printing.h"

#include "TrayT1.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

Tprintit *printit = nullptr;

Tprintit::Tprintit(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("printit"));
    setWindowTitle(QStringLiteral("Printing ..."));
    setFixedSize(153, 53);
    CancelButton = new QPushButton(QStringLiteral("Cancel Print Job"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(16, 8, 117, 34);
    CancelButton->setDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &Tprintit::CancelButtonClick);
}

Tprintit::~Tprintit() = default;

void Tprintit::CancelButtonClick()
{
    hide();
    PrintCancel = QStringLiteral("stop");
}

void Tprintit::keyPressEvent(QKeyEvent *event)
{
    // The button is the window's cancel button: Esc presses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Tprintit::showEvent(QShowEvent *event)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.center() - QPoint(width() / 2, height() / 2));
    CancelButton->setFocus();
    QWidget::showEvent(event);
}
