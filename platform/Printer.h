#pragma once

#include "AppError.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMargins>
#include <QPainter>
#include <QString>
#include <QStringList>

class QPaintDevice;
class QWidget;

// The printer's own orientation type; the ordinals are stored with the margins.
enum TPrinterOrientation { poPortrait = 0, poLandscape = 1 };

namespace platform {

// The printer object's own error: there is no device to print on, or the
// device refused a step of a job.
class PrinterError : public AppError {
public:
    using AppError::AppError;
};

// A job's output could not be written (printing to a file).
class PrinterIoError : public PrinterError {
public:
    using PrinterError::PrinterError;
};

// The page-setup dialog's flag word: what it offers and the unit of its margins.
enum PageSetupFlag : quint32 {
    PsdMargins = 0x2,
    PsdInThousandthsOfInches = 0x4,
    PsdInHundredthsOfMillimeters = 0x8,
    PsdDisableMargins = 0x10,
    PsdDisablePrinter = 0x20,
    PsdDisableOrientation = 0x100,
    PsdDisablePaper = 0x200,
    PsdEnablePageSetupHook = 0x2000,
};

// The program's printer: the selected print destination and the job running on
// it. Sizes are device pixels at the printer's resolution; drawing coordinates
// start at the top-left corner of the printable area.
class Printer {
public:
    virtual ~Printer() = default;

    // False when no print destination is installed or selected. The other
    // queries still answer then, but their values describe no real device:
    // callers use their own fallbacks.
    virtual bool isReachable() const = 0;

    virtual int logPixelsX() const = 0; // resolution, pixels per inch
    virtual int logPixelsY() const = 0;
    virtual int physicalWidth() const = 0; // the paper
    virtual int physicalHeight() const = 0;
    virtual int physicalOffsetX() const = 0; // the unprintable strip at the left
    virtual int physicalOffsetY() const = 0; // and at the top
    virtual int pageWidth() const = 0;       // the printable area
    virtual int pageHeight() const = 0;

    virtual TPrinterOrientation orientation() const = 0;
    virtual void setOrientation(TPrinterOrientation orientation) = 0;
    virtual QString title() const = 0; // the job title
    virtual void setTitle(const QString &title) = 0;

    // A job: beginDoc() starts it on the first page, newPage() ends a page and
    // starts the next, endDoc() hands it to the print service and abort()
    // throws it away. printing() is true in between. Throw PrinterError.
    virtual bool printing() const = 0;
    virtual void beginDoc() = 0;
    virtual void newPage() = 0;
    virtual void endDoc() = 0;
    virtual void abort() = 0;

    // The drawing surface of the running job; null when no job runs.
    virtual QPainter *canvas() = 0;
    // Draws an indexed picture (QImage::Format_Indexed8) scaled into `target`
    // on the running job's page, losslessly: the device scales it, and a
    // printer that can keeps it indexed. Here it goes through the canvas.
    virtual void drawPicture(const QRect &target, const QImage &indexed)
    {
        QPainter *painter = canvas();
        if (!painter)
            throw PrinterError(QStringLiteral("No print job is running"));
        painter->save();
        painter->setRenderHint(QPainter::LosslessImageRendering);
        painter->drawImage(target, indexed);
        painter->restore();
    }
    // The device for font metrics at the printer's resolution, also between
    // jobs; null when the printer cannot be reached.
    virtual QPaintDevice *device() = 0;
    // The drawing font. It outlives jobs; a change applies to the running job at once.
    virtual QFont font() const = 0;
    virtual void setFont(const QFont &font) = 0;
    // The drawing font's colour; text is drawn in it.
    virtual QColor fontColor() const = 0;
    virtual void setFontColor(const QColor &color) = 0;

    // The installed print destinations, the selected one (empty when none) and
    // selecting one by name.
    virtual QStringList printerNames() const = 0;
    virtual QString printerName() const = 0;
    virtual void selectPrinter(const QString &name) = 0;

    // The system's print dialog on this printer, owned by `owner`: the
    // destination and copies chosen there apply to the next job. False when
    // the user cancels.
    virtual bool printDialog(QWidget *owner) = 0;
    // The system's printer-setup dialog on this printer, owned by `owner`:
    // the destination, paper and orientation chosen there apply to every
    // later job. False when the user cancels.
    virtual bool printerSetup(QWidget *owner) = 0;
    // The page-setup dialog, modal over the whole application and placed
    // centred horizontally and at a third of the screen's height. `margins`
    // (left, top, right, bottom) are in the unit `flags` names; on OK they are
    // replaced by the user's choice and the paper and orientation chosen take
    // effect. Returns true on OK.
    virtual bool pageSetup(QMargins &margins, quint32 flags) = 0;
};

} // namespace platform
