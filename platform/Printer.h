#pragma once

#include "AppError.h"

#include <QFont>
#include <QString>
#include <QStringList>

class QPainter;
class QPaintDevice;

// The printer's own orientation type; the ordinals are stored with the margins.
enum TPrinterOrientation { poPortrait = 0, poLandscape = 1 };

namespace platform {

// The printer object's own error: there is no device to print on, or the
// device refused a step of a job.
class PrinterError : public AppError {
public:
    using AppError::AppError;
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
    // The device for font metrics at the printer's resolution, also between
    // jobs; null when the printer cannot be reached.
    virtual QPaintDevice *device() = 0;
    // The drawing font. It outlives jobs; a change applies to the running job at once.
    virtual QFont font() const = 0;
    virtual void setFont(const QFont &font) = 0;

    // The installed print destinations, the selected one (empty when none) and
    // selecting one by name.
    virtual QStringList printerNames() const = 0;
    virtual QString printerName() const = 0;
    virtual void selectPrinter(const QString &name) = 0;
};

} // namespace platform
