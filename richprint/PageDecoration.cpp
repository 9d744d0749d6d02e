#include "RichPrint.h"

#include "UnitConversion.h"

#include <QPainter>
#include <QScopeGuard>

using namespace richprint;

QRect TRichPrinter::LogoRect() const
{
    const int cursorY = (TopOffset() - m_lineHeight) / 2 + m_lineHeight;
    const int cursorX = LeftOffset();
    const long double w = TextAreaWidth();
    const long double h = TextAreaHeight();
    const int top =
        roundHalfEven(m_logoTop / static_cast<long double>(PhysicalPageHeight()) * h) + cursorY;
    const int left =
        roundHalfEven(m_logoLeft / static_cast<long double>(PhysicalPageWidth()) * w) + cursorX;
    const int right =
        left + roundHalfEven(m_logoWidth / static_cast<long double>(PhysicalPageWidth()) * w);
    const int bottom =
        top + roundHalfEven(m_logoHeight / static_cast<long double>(PhysicalPageHeight()) * h);
    // Right and bottom are the first pixels outside.
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TRichPrinter::drawLogo()
{
    try {
        // Right under the header line, from the left margin.
        m_cursorY = (TopOffset() - m_lineHeight) / 2 + m_lineHeight;
        m_cursorX = LeftOffset();
        const QRect rect = LogoRect();
        QPainter &painter = canvas();
        painter.save();
        const auto restore = qScopeGuard([&painter] { painter.restore(); });
        painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
        painter.drawImage(rect, m_bitmapLogo);
    } catch (const platform::PrinterError &) {
        // The page goes on without its logo.
    }
}

void TRichPrinter::drawBorders()
{
    if (!m_pageBorders)
        return;
    try {
        QPainter &painter = canvas();
        const int L = LeftOffset();
        const int T = TopOffset();
        const int W = TextAreaWidth();
        const int H = TextAreaHeight();
        const int b = UnitsToPixelsY(m_borderOffset);
        const int d = UnitsToPixelsX(m_borderOffset);
        // A width of 0 is the thinnest line the device draws.
        const int horizontal = (m_printer.logPixelsY() / 600) * 2;
        const int vertical = (m_printer.logPixelsX() / 600) * 2;
        painter.save();
        const auto restore = qScopeGuard([&painter] { painter.restore(); });
        const auto line = [&painter](int width, QPoint from, QPoint to) {
            painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(from, to);
        };
        if (m_pageBorders & pbTop)
            line(horizontal, {L - b, T - b}, {L + W + b, T - b});
        if (m_pageBorders & pbBottom)
            line(horizontal, {L - b, T + H + 2 * b}, {L + W + b, T + H + 2 * b});
        if (m_pageBorders & pbLeft)
            line(vertical, {L - d, T - d}, {L - d, T + H + 2 * d});
        if (m_pageBorders & pbRight)
            line(vertical, {L + W + d, T - d}, {L + W + d, T + H + 2 * d});
    } catch (const platform::PrinterError &) {
        // The page goes on without its borders.
    }
}

void TRichPrinter::DecoratePage()
{
    ShowProgressStatus(QStringLiteral("Currently Printing"));
    const QString format = m_columnFormat;
    const auto restoreFormat = qScopeGuard([this, format] { m_columnFormat = format; });
    if (!m_header.isEmpty()) {
        refreshFont();
        UpdateLineHeight();
        // Centred in the band between the printable edge and the top margin.
        const int top = roundHalfEven((TopOffset() - m_lineHeight) * 0.5L);
        m_cursorY = top - TopOffset();
        m_columnFormat = m_headerFormat;
        PrintColumns(m_header);
        if (!m_bitmapLogo.isNull())
            drawLogo();
    }
    if (!m_footer.isEmpty()) {
        refreshFont();
        UpdateLineHeight();
        // Centred in the band between the text area and the printable bottom edge.
        m_cursorY = TextAreaHeight() + (BottomOffset() - m_lineHeight) / 2;
        m_columnFormat = m_footerFormat;
        PrintColumns(m_footer);
    }
    m_cursorX = 0;
    m_cursorY = 0;
    m_lineCounter = 0;
    emit OnNewPage(this);
    drawBorders();
}
