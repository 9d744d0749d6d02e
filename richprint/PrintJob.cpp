#include "RichPrint.h"

#include "RichPrntProgDlg.h"
#include "platform/RichEdit.h"

#include <QLabel>
#include <QPainter>
#include <QTextDocument>

// --- The print job ----------------------------------------------------------------------

void TRichPrinter::ShowProgressStatus(const QString &status)
{
    if (m_showProgress && m_printer.printing()) {
        if (!m_progressWindow)
            m_progressWindow = new TRichPrntProgDlg;
        if (m_progressWindow->isHidden())
            m_progressWindow->show();
        if (!status.isNull())
            m_progressWindow->lblStatus->setText(status);
        m_progressWindow->lblTitle->setText(Title());
        m_progressWindow->lblPageNumber->setText(QString::number(m_currentPage));
        m_progressWindow->repaint();
    } else if (m_progressWindow) {
        if (m_progressWindow->isVisible())
            m_progressWindow->close();
        delete m_progressWindow;
    }
}

void TRichPrinter::BeginDoc()
{
    if (m_saveMargins)
        ReadMargins();
    emit OnBeginDoc(this);
    bool started = false;
    try {
        m_printer.beginDoc();
        started = true;
        refreshFont();
        UpdateLineHeight();
    } catch (const platform::PrinterIoError &error) {
        if (started)
            m_printer.abort();
        throw ELinePrinter(error.message());
    } catch (const platform::PrinterError &) {
        // A job of someone else's that already runs is left alone.
        if (started)
            m_printer.abort();
        throw ELinePrinter(QStringLiteral("Not be able to start the printing."));
    }
    ShowProgressStatus(QStringLiteral("Preparing to Print"));
    m_lineCounter = 0;
    m_currentPage = m_firstPage;
    DecoratePage();
}

int TRichPrinter::NewPage()
{
    try {
        m_printer.newPage();
    } catch (const platform::PrinterError &) {
        throw ELinePrinter(QStringLiteral("Not be able to print a new page."));
    }
    ++m_currentPage;
    DecoratePage();
    return m_currentPage;
}

void TRichPrinter::EndDoc()
{
    std::exception_ptr failure;
    try {
        ShowProgressStatus(QStringLiteral("Finished Printing"));
        try {
            m_printer.endDoc();
        } catch (const platform::PrinterIoError &) {
            throw ELinePrinter(QStringLiteral("Not be able to print to a file."));
        } catch (const platform::PrinterError &) {
            throw ELinePrinter(QStringLiteral("Not be able to end the printing."));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The printer no longer prints, so this closes the progress window.
    ShowProgressStatus();
    emit OnEndDoc(this);
    if (failure)
        std::rethrow_exception(failure);
}

namespace {

// True when nothing but blanks and paragraph ends follows `from`: a page
// holding only that is not printed. A real character always gets its page.
bool onlyBlanksFrom(const platform::RichEdit *control, int from)
{
    const QTextDocument *document = control->document();
    const int end = document->characterCount();
    for (int i = from; i < end; ++i) {
        const QChar c = document->characterAt(i);
        if (!c.isSpace() && c != QChar::ParagraphSeparator && c != QChar::Null)
            return false;
    }
    return true;
}

} // namespace

void TRichPrinter::PrintRichEdit(platform::RichEdit *control, int firstPage)
{
    m_control = control;
    m_firstPage = firstPage;
    QRect rect; // the text rectangle in twips; the page rectangle is the same
    const bool busy = m_printer.printing();
    try {
        BeginDoc();
    } catch (...) {
        // A job this call started and could not get its first page ready is
        // thrown away; one that ran already is not ours to end.
        if (!busy)
            m_printer.abort();
        ShowProgressStatus();
        throw;
    }

    // Drawing in device pixels from here on, as the control expects; the
    // painter's previous transform comes back when the job ends.
    QPainter *painter = m_printer.canvas();
    const QTransform previous = painter ? painter->transform() : QTransform();
    const auto restore = [this, &previous] {
        if (QPainter *p = m_printer.canvas())
            p->setTransform(previous);
    };
    try {
        const auto fillRange = [this, &rect] {
            const int left = PixelsToTwipsX(LeftOffset());
            const int top = PixelsToTwipsY(TopOffset());
            const int right = PixelsToTwipsX(LeftOffset() + TextAreaWidth());
            const int bottom = PixelsToTwipsY(TopOffset() + TextAreaHeight());
            rect = QRect(left, top, right - left, bottom - top);
        };
        fillRange();
        QPaintDevice *device = m_printer.canvas() ? m_printer.canvas()->device() : nullptr;
        const int textLength = control->textLength();
        if (painter)
            painter->resetTransform();
        control->releaseFormatCache();
        int start = 0;
        bool done = false;
        int next = 0;
        do {
            next = control->formatRange(device, start, rect, true);
            const int measure = control->formatRange(device, next, rect, false);
            if (next < textLength && next != -1) {
                if (std::abs(next - measure) < 2 && onlyBlanksFrom(control, next))
                    done = true;
                else {
                    NewPage();
                    fillRange();
                }
            }
            const bool progress = next > start;
            start = next;
            if (!(next < textLength && next != -1 && progress && !done))
                break;
        } while (true);
        control->releaseFormatCache();
    } catch (...) {
        restore();
        // The job is thrown away, so that the printer is free for the next one.
        control->releaseFormatCache();
        m_printer.abort();
        ShowProgressStatus();
        throw;
    }
    EndDoc();
    restore();
}
