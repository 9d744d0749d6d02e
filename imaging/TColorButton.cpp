#include "TColorButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace {

constexpr int FrameWidth = 2;
constexpr int SwatchInset = 4;

} // namespace

TColorButton::TColorButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, &TColorButton::chooseColor);
}

void TColorButton::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QSize TColorButton::sizeHint() const
{
    return {19, 19};
}

void TColorButton::chooseColor()
{
    QColorDialog dialog(m_color, this);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    if (dialog.exec() == QDialog::Accepted) {
        setColor(dialog.selectedColor());
        emit OnColorChange();
    }
    emit OnClick();
}

void TColorButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const bool down = isDown();
    // A raised frame, sunken while the mouse button is held on it.
    qDrawWinButton(&p, rect(), pal, down, &pal.brush(QPalette::Button));
    QRect swatch = rect().adjusted(SwatchInset, SwatchInset, -SwatchInset, -SwatchInset);
    if (down)
        swatch.translate(1, 1);
    p.setPen(Qt::black);
    p.setBrush(isEnabled() ? m_color : pal.color(QPalette::Button));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}
