#include "QtPrinter.h"

#include <QPainter>
#include <QPrinterInfo>

namespace platform {

QtPrinter::QtPrinter()
{
    usePrintableArea();
}

QtPrinter::QtPrinter(const QString &pdfFile, const QPageSize &paper, const QMarginsF &unprintableMm)
    : m_pdfFile(pdfFile)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(pdfFile);
    m_printer.setFullPage(false);
    m_printer.setPageSize(paper);
    m_printer.setPageMargins(unprintableMm, QPageLayout::Millimeter);
}

QtPrinter::~QtPrinter()
{
    abort();
}

void QtPrinter::usePrintableArea()
{
    // Qt's default margins are a page layout choice; here the margins are the
    // strip the device cannot print on, as a printer driver reports it.
    if (!isReachable())
        return;
    m_printer.setFullPage(false);
    const QPageLayout layout = m_printer.pageLayout();
    m_printer.setPageMargins(layout.minimumMargins(), layout.units());
}

bool QtPrinter::isReachable() const
{
    if (!m_pdfFile.isEmpty())
        return true;
    // Without any destination QPrinter quietly falls back to writing PDF.
    return m_printer.outputFormat() == QPrinter::NativeFormat && !m_printer.printerName().isEmpty();
}

int QtPrinter::logPixelsX() const
{
    return m_printer.logicalDpiX();
}

int QtPrinter::logPixelsY() const
{
    return m_printer.logicalDpiY();
}

int QtPrinter::physicalWidth() const
{
    return qRound(m_printer.paperRect(QPrinter::DevicePixel).width());
}

int QtPrinter::physicalHeight() const
{
    return qRound(m_printer.paperRect(QPrinter::DevicePixel).height());
}

int QtPrinter::physicalOffsetX() const
{
    return qRound(m_printer.pageRect(QPrinter::DevicePixel).left() -
                  m_printer.paperRect(QPrinter::DevicePixel).left());
}

int QtPrinter::physicalOffsetY() const
{
    return qRound(m_printer.pageRect(QPrinter::DevicePixel).top() -
                  m_printer.paperRect(QPrinter::DevicePixel).top());
}

int QtPrinter::pageWidth() const
{
    return m_printer.width();
}

int QtPrinter::pageHeight() const
{
    return m_printer.height();
}

TPrinterOrientation QtPrinter::orientation() const
{
    return m_printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape
                                                                          : poPortrait;
}

void QtPrinter::setOrientation(TPrinterOrientation orientation)
{
    m_printer.setPageOrientation(orientation == poLandscape ? QPageLayout::Landscape
                                                            : QPageLayout::Portrait);
}

QString QtPrinter::title() const
{
    return m_printer.docName();
}

void QtPrinter::setTitle(const QString &title)
{
    m_printer.setDocName(title);
}

bool QtPrinter::printing() const
{
    return m_painter != nullptr;
}

void QtPrinter::requireJob(const char *step) const
{
    if (!printing())
        throw PrinterError(
            QStringLiteral("Unable to %1: no print job is running").arg(QLatin1String(step)));
}

void QtPrinter::beginDoc()
{
    if (printing())
        throw PrinterError(QStringLiteral("A print job is already running"));
    if (!isReachable())
        throw PrinterError(QStringLiteral("There is no printer to print on"));
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&m_printer))
        throw PrinterError(QStringLiteral("Unable to start printing on \"%1\"").arg(printerName()));
    painter->setFont(m_font);
    m_painter = std::move(painter);
}

void QtPrinter::newPage()
{
    requireJob("start a new page");
    if (!m_printer.newPage())
        throw PrinterError(
            QStringLiteral("Unable to start a new page on \"%1\"").arg(printerName()));
}

void QtPrinter::endDoc()
{
    requireJob("end the print job");
    const bool ended = m_painter->end();
    m_painter.reset();
    if (!ended || m_printer.printerState() == QPrinter::Error)
        throw PrinterError(
            QStringLiteral("Unable to finish the print job on \"%1\"").arg(printerName()));
}

void QtPrinter::abort()
{
    if (!printing())
        return;
    m_printer.abort();
    m_painter->end();
    m_painter.reset();
}

QPainter *QtPrinter::canvas()
{
    return m_painter.get();
}

QPaintDevice *QtPrinter::device()
{
    return isReachable() ? &m_printer : nullptr;
}

QFont QtPrinter::font() const
{
    return m_font;
}

void QtPrinter::setFont(const QFont &font)
{
    m_font = font;
    if (m_painter)
        m_painter->setFont(m_font);
}

QStringList QtPrinter::printerNames() const
{
    if (!m_pdfFile.isEmpty())
        return {m_pdfFile};
    return QPrinterInfo::availablePrinterNames();
}

QString QtPrinter::printerName() const
{
    if (!m_pdfFile.isEmpty())
        return m_pdfFile;
    return isReachable() ? m_printer.printerName() : QString();
}

void QtPrinter::selectPrinter(const QString &name)
{
    if (printing())
        throw PrinterError(QStringLiteral("Unable to change the printer while printing"));
    if (!printerNames().contains(name))
        throw PrinterError(QStringLiteral("The printer \"%1\" is not installed").arg(name));
    if (!m_pdfFile.isEmpty())
        return;
    m_printer.setPrinterName(name);
    usePrintableArea();
}

} // namespace platform
