#include "TMemo.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

namespace {

// A right-pointing arrow, the usual pointer over a selection margin.
QCursor marginCursor()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF arrow[] = {{15, 1}, {15, 12}, {12, 9}, {9, 14}, {7, 13}, {10, 8}, {5, 8}};
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow, 7);
    return QCursor(pixmap, 15, 1);
}

class SelectionMargin : public QWidget {
public:
    explicit SelectionMargin(TMemo *memo) : QWidget(memo), m_memo(memo)
    {
        setObjectName(QStringLiteral("selectionMargin"));
        setCursor(marginCursor());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_memo->palette().color(QPalette::Base));
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_memo->setFocus(Qt::MouseFocusReason);
        const int y = int(event->position().y());
        m_anchorY = y;
        if (event->modifiers() & Qt::ShiftModifier) {
            // Extend from the line that holds the selection's anchor.
            const QTextCursor c = m_memo->textCursor();
            QTextCursor a(m_memo->document());
            a.setPosition(c.anchor());
            m_anchorY = m_memo->cursorRect(a).center().y();
        }
        m_memo->selectLines(m_anchorY, y);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_memo->selectLines(m_anchorY, int(event->position().y()));
    }

private:
    TMemo *m_memo;
    int m_anchorY = 0;
};

} // namespace

TMemo::TMemo(QWidget *parent) : platform::RichEdit(parent), m_margin(new SelectionMargin(this))
{
    setViewportMargins(MarginWidth, 0, 0, 0);
}

void TMemo::resizeEvent(QResizeEvent *event)
{
    platform::RichEdit::resizeEvent(event);
    const QRect v = viewport()->geometry();
    m_margin->setGeometry(v.left() - MarginWidth, v.top(), MarginWidth, v.height());
}

void TMemo::selectLines(int anchorY, int y)
{
    const int last = document()->characterCount() - 1;
    auto lineAt = [&](int atY) {
        const QTextCursor c = cursorForPosition(QPoint(0, atY));
        const QTextBlock block = c.block();
        const QTextLine line = block.layout()->lineForTextPosition(c.positionInBlock());
        if (!line.isValid())
            return std::pair{block.position(), std::min(block.position() + block.length(), last)};
        const int start = block.position() + line.textStart();
        int end = start + line.textLength(); // a wrapped line ends where the next begins
        if (line.lineNumber() == block.layout()->lineCount() - 1)
            end = std::min(end + 1, last); // and the block's last line with its break
        return std::pair{start, end};
    };
    const auto [aStart, aEnd] = lineAt(anchorY);
    const auto [start, end] = lineAt(y);
    QTextCursor c(document());
    if (start >= aStart) {
        c.setPosition(aStart);
        c.setPosition(end, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(aEnd);
        c.setPosition(start, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}
