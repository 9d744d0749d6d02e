#include "edits.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

// The editor toolbar's own controls: the colour button and the size spinner.

namespace {
QColor windowTextColor()
{
    return QApplication::palette().color(QPalette::Text);
}
} // namespace

// --- TColorBox -------------------------------------------------------------

TColorBox::TColorBox(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
}

void TColorBox::setColorValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

QColor TColorBox::color() const
{
    // System colours have the high bit set; the only one we store is the
    // window-text colour.
    if (m_value < 0)
        return windowTextColor();
    return QColor(m_value & 0xff, (m_value >> 8) & 0xff, (m_value >> 16) & 0xff);
}

void TColorBox::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    QPainter p(this);
    const QRect swatch = rect().adjusted(6, 6, -6, -6);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(color());
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

// --- TUpDown ---------------------------------------------------------------

TUpDown::TUpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_buddy(buddy), m_min(minimum), m_max(maximum)
{
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {m_up, m_down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    m_buddy->installEventFilter(this);
}

void TUpDown::step(int delta)
{
    // Start from the number the field shows; when it shows none, from the
    // last position the buttons set.
    bool ok = false;
    const int shown = m_buddy->text().toInt(&ok);
    if (ok)
        m_position = std::clamp(shown, m_min, m_max);
    const int next = std::clamp(m_position + delta, m_min, m_max);
    if (next == m_position && ok)
        return;
    m_position = next;
    m_buddy->setText(QString::number(next));
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                step(1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                step(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
