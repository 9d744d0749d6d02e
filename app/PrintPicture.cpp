// Printing the captured picture: one page with a centred header line, the
// optional selection title and the image editor's picture scaled to the page
// width (at most seven times its own width), reduced to 256 colours first.
#include "TrayT1.h"
#include "imaging/Editscreen.h"
#include "imaging/codecs/ColorReduction.h"
#include "platform/Printer.h"
#include "richprint/RichPrint.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// The face and size of the picture page's text.
QFont pictureFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    return font;
}

// The printer's drawing surface; the job must be running.
QPainter &jobCanvas(platform::Printer &printer)
{
    QPainter *painter = printer.canvas();
    if (!painter)
        throw platform::PrinterError(QStringLiteral("No print job is running"));
    return *painter;
}

// Draws `text` with its cell's top-left corner at (x, y).
void drawTextAt(QPainter &canvas, int x, int y, const QString &text)
{
    const QFontMetrics metrics(canvas.font(), canvas.device());
    canvas.drawText(QPoint(x, y + metrics.ascent()), text);
}

} // namespace

int TTrayForm::CenterText(const QString &text)
{
    platform::Printer &printer = RichPrinter1->printer();
    QPainter &canvas = jobCanvas(printer);
    const int width = QFontMetrics(canvas.font(), canvas.device()).horizontalAdvance(text);
    return (printer.pageWidth() - width) / 2;
}

void TTrayForm::printPicture()
{
    platform::Printer &printer = RichPrinter1->printer();
    printer.beginDoc();
    try {
        QImage picture = EditScreen->picture();
        if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
            throw platform::AppError(QStringLiteral("There is no picture to print"));
        // The page's own font goes to the job's drawing surface only: the
        // printer's font is the engine's header and footer font and stays so.
        QPainter &canvas = jobCanvas(printer);
        canvas.setFont(pictureFont());
        canvas.setPen(Qt::black);
        const int h = QFontMetrics(canvas.font(), canvas.device()).height();

        // Read afresh: the options dialog writes it without telling the tray.
        const QString header = settings::read(IniFile::programIni(), settings::Header);
        drawTextAt(canvas, CenterText(header), h, header);

        const qint64 pageWidth = printer.pageWidth();
        int y = 4 * h;
        if (TitleAccepted) {
            // Five per cent of the page width, rounded to the nearest pixel.
            drawTextAt(canvas, int((pageWidth * 5 + 50) / 100), 4 * h, SelectionTitle);
            y = 6 * h;
        }
        // The page width, but never more than seven times the picture's width.
        qint64 w = pageWidth;
        if (qint64(picture.width()) * 7 < w)
            w = qint64(picture.width()) * 7;
        const qint64 ht = qint64(picture.height()) * w / picture.width();
        const qint64 x = pageWidth / 2 - w / 2;
        PrintBitmap(QRect(int(x), y, int(w), int(ht)), std::move(picture));
    } catch (...) {
        printer.abort();
        throw;
    }
}

void TTrayForm::PrintBitmap(const QRect &target, QImage bitmap)
{
    platform::Printer &printer = RichPrinter1->printer();
    try {
        QImage reduced;
        {
            const QVector<QRgb> palette = codecs::BuildOptimizedPalette({bitmap}, 256, 8);
            reduced = codecs::RemapToPalette(bitmap, palette);
        }
        bitmap = QImage();
        // The indexed picture goes to the printer at its own size; the
        // printer (or the PDF reader) scales it into the rectangle, so no
        // picture at the printer's resolution is ever built here. Whatever
        // falls below the page's bottom edge is cut off. Lossless, as a
        // JPEG-compressed picture would no longer hold the reduced colours.
        printer.drawPicture(target, reduced);
        reduced = QImage();
        printer.endDoc();
    } catch (...) {
        printer.abort();
        throw;
    }
}
