#include "QtPrinter.h"

#include "../PdfImageUpdate.h"
#include "../ScreenPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSaveFile>

#include <cmath>
#include <utility>

namespace platform {

QtPrinter::QtPrinter()
{
    usePrintableArea();
}

QtPrinter::QtPrinter(const QString &pdfFile, const QPageSize &paper, const QMarginsF &unprintableMm)
    : m_pdfFile(pdfFile), m_unprintableMm(unprintableMm)
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
    if (!m_pdfFile.isEmpty()) {
        m_printer.setFullPage(false);
        m_printer.setPageMargins(m_unprintableMm, QPageLayout::Millimeter);
        return;
    }
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
    // Without any destination QPrinter quietly falls back to writing PDF, to
    // no file; a file chosen in the print dialog is a destination.
    if (m_printer.outputFormat() == QPrinter::PdfFormat)
        return !m_printer.outputFileName().isEmpty();
    return !m_printer.printerName().isEmpty();
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

bool QtPrinter::toFile() const
{
    return m_printer.outputFormat() == QPrinter::PdfFormat;
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
    if (!painter->begin(&m_printer)) {
        if (toFile())
            throw PrinterIoError(
                QStringLiteral("Unable to write \"%1\"").arg(m_printer.outputFileName()));
        throw PrinterError(QStringLiteral("Unable to start printing on \"%1\"").arg(printerName()));
    }
    painter->setFont(m_font);
    painter->setPen(m_fontColor);
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
    if ((!ended || m_printer.printerState() == QPrinter::Error) && toFile()) {
        m_picture = QImage();
        throw PrinterIoError(
            QStringLiteral("Unable to write \"%1\"").arg(m_printer.outputFileName()));
    }
    if (!m_picture.isNull())
        addPictureToFile();
    if (!ended || m_printer.printerState() == QPrinter::Error)
        throw PrinterError(
            QStringLiteral("Unable to finish the print job on \"%1\"").arg(printerName()));
}

void QtPrinter::abort()
{
    m_picture = QImage();
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

namespace {

// zlib's level for a picture written into a PDF file: its fastest. A reduced,
// dithered picture gains little from the slower levels.
constexpr int PictureCompression = 1;

} // namespace

void QtPrinter::drawPicture(const QRect &target, const QImage &indexed)
{
    requireJob("draw the picture");
    // Qt's PDF writer would store the picture as 24-bit colour with an alpha
    // mask, deflated at zlib's default level, which is slow for a large
    // dithered picture. Into a PDF file the job instead draws a one-pixel
    // placeholder into the target rectangle (Qt places it, like any image),
    // and when the job ends the placeholder's image object is replaced by the
    // picture itself, indexed, one byte a pixel. One picture a job: it is the
    // last image drawn, as the placeholder must be the file's last image.
    // Printing in grey is left to Qt, which then writes images in grey.
    if (!toFile() || !m_picture.isNull() || indexed.format() != QImage::Format_Indexed8 ||
        m_printer.colorMode() == QPrinter::GrayScale) {
        Printer::drawPicture(target, indexed);
        return;
    }
    QImage placeholder(1, 1, QImage::Format_RGB32);
    placeholder.fill(Qt::white);
    m_painter->save();
    m_painter->setRenderHint(QPainter::LosslessImageRendering);
    m_painter->drawImage(target, placeholder);
    m_painter->restore();
    m_picture = indexed;
}

void QtPrinter::addPictureToFile()
{
    const QImage picture = std::exchange(m_picture, QImage());
    const QString name = m_printer.outputFileName();
    const auto unwritable = [&name] {
        // The page without its picture is no result: it does not stay.
        QFile::remove(name);
        return PrinterIoError(QStringLiteral("Unable to write \"%1\"").arg(name));
    };
    QFile written(name);
    if (!written.open(QIODevice::ReadOnly))
        throw unwritable();
    const QByteArray pdf = written.readAll();
    written.close();
    QByteArray update;
    try {
        update = PdfImageUpdate::indexedImage(pdf, PdfImageUpdate::lastImageObject(pdf), picture,
                                              PictureCompression);
    } catch (...) {
        QFile::remove(name);
        throw;
    }
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() ||
        file.write(update) != update.size() || !file.commit())
        throw unwritable();
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

QColor QtPrinter::fontColor() const
{
    return m_fontColor;
}

void QtPrinter::setFontColor(const QColor &color)
{
    m_fontColor = color;
    if (m_painter)
        m_painter->setPen(m_fontColor);
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

namespace {

// To the nearest integer, halves to the even neighbour.
int roundHalfEven(double x)
{
    return int(std::nearbyint(x)); // the default rounding mode rounds halves to even
}

// Disables the controls of Qt's page-setup widget that the flags take away.
void applyFlags(QWidget *dialog, quint32 flags)
{
    const auto disable = [dialog](const char *name) {
        if (auto *w = dialog->findChild<QWidget *>(QLatin1String(name)))
            w->setEnabled(false);
    };
    if ((flags & PsdDisableMargins) || !(flags & PsdMargins)) {
        for (const char *name : {"topMargin", "bottomMargin", "leftMargin", "rightMargin"})
            disable(name);
    }
    if (flags & PsdDisableOrientation) {
        for (const char *name : {"portrait", "landscape", "reverseLandscape", "reversePortrait"})
            disable(name);
    }
    if (flags & PsdDisablePaper) {
        for (const char *name : {"paperSize", "paperWidth", "paperHeight", "paperSource"})
            disable(name);
    }
}

} // namespace

bool QtPrinter::printDialog(QWidget *owner)
{
    if (printing())
        throw PrinterError(QStringLiteral("Unable to change the printer while printing"));
    QPrintDialog dialog(&m_printer, owner);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    // Without an owner on screen the window manager would put it in a corner.
    ScreenPlacement placement(2);
    placement.watch(&dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The dialog may have chosen another destination; its strip is asked anew.
    usePrintableArea();
    return accepted;
}

bool QtPrinter::printerSetup(QWidget *owner)
{
    if (printing())
        throw PrinterError(QStringLiteral("Unable to change the printer while printing"));
    // The same dialog without what belongs to a single job (pages, copies).
    QPrintDialog dialog(&m_printer, owner);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    usePrintableArea();
    return accepted;
}

bool QtPrinter::pageSetup(QMargins &margins, quint32 flags)
{
    if (printing())
        throw PrinterError(QStringLiteral("Unable to change the page while printing"));
    const bool millimetres = flags & PsdInHundredthsOfMillimeters;
    const double perUnit = millimetres ? 100.0 : 1000.0;
    const QPageLayout::Unit unit = millimetres ? QPageLayout::Millimeter : QPageLayout::Inch;

    // Qt's dialog edits the page layout's margins; for its time they are the
    // user's margins, afterwards the unprintable strip again.
    QPageLayout layout = m_printer.pageLayout();
    layout.setUnits(unit);
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(margins.left() / perUnit, margins.top() / perUnit,
                                margins.right() / perUnit, margins.bottom() / perUnit));
    m_printer.setPageLayout(layout);

    QPointer<QWidget> active = QApplication::activeWindow();
    QPageSetupDialog dialog(&m_printer);
    dialog.setObjectName(QStringLiteral("PageSetupDialog"));
    dialog.setWindowModality(Qt::ApplicationModal);
    ScreenPlacement placement(3);
    placement.watch(&dialog);
    applyFlags(&dialog, flags);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) {
        const QMarginsF chosen = m_printer.pageLayout().margins(unit);
        margins = QMargins(
            roundHalfEven(chosen.left() * perUnit), roundHalfEven(chosen.top() * perUnit),
            roundHalfEven(chosen.right() * perUnit), roundHalfEven(chosen.bottom() * perUnit));
    }
    usePrintableArea();
    if (active)
        active->activateWindow();
    return accepted;
}

} // namespace platform
