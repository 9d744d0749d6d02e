#include "printing.h"

#include "TrayT1.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

Tprintit *printit = nullptr;

namespace {

constexpr int ClientWidth = 153;
constexpr int ClientHeight = 53;
constexpr int CaptionPadding = 3; // above and below the caption's text
constexpr int CaptionIndent = 6;

QFont captionFont(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

Tprintit::Tprintit(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("printit"));
    setWindowTitle(QStringLiteral("Printing ..."));
    CancelButton = new QPushButton(QStringLiteral("Cancel Print Job"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    // The height of the caption's bold text, and so the window's size, is
    // measured when the window is first shown: measuring loads the font.
    CancelButton->setDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &Tprintit::CancelButtonClick);
}

Tprintit::~Tprintit() = default;

QRect Tprintit::captionRect() const
{
    return QRect(0, 0, ClientWidth,
                 QFontMetrics(captionFont(font())).height() + 2 * CaptionPadding);
}

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
    if (!m_laidOut) {
        const int caption = captionRect().height();
        setFixedSize(ClientWidth, caption + ClientHeight);
        CancelButton->setGeometry(16, caption + 8, 117, 34);
        m_laidOut = true;
    }
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.center() - QPoint(width() / 2, height() / 2));
    CancelButton->setFocus();
    QWidget::showEvent(event);
}

void Tprintit::paintEvent(QPaintEvent *)
{
    // A title strip in the colours of a selected item, and a thin edge that
    // sets the window off from whatever lies behind it.
    QPainter painter(this);
    const QRect caption = captionRect();
    painter.fillRect(caption, palette().color(QPalette::Active, QPalette::Highlight));
    painter.setPen(palette().color(QPalette::Active, QPalette::HighlightedText));
    painter.setFont(captionFont(font()));
    painter.drawText(caption.adjusted(CaptionIndent, 0, -CaptionIndent, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
    painter.setPen(palette().color(QPalette::Active, QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
