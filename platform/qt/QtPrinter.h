#pragma once

#include "../Printer.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPrinter>

#include <memory>

namespace platform {

// The printer over QPrinter at the device's high resolution: either the
// system's print service (CUPS) or a PDF file with a chosen paper size and
// unprintable strip, for tests and benchmarks.
class QtPrinter : public Printer {
public:
    // The system's default print destination, if there is one.
    QtPrinter();
    // Every job is written to `pdfFile`: paper of `paper` size with
    // `unprintableMm` millimetres around it that cannot be printed on.
    QtPrinter(const QString &pdfFile, const QPageSize &paper, const QMarginsF &unprintableMm);
    ~QtPrinter() override;

    QtPrinter(const QtPrinter &) = delete;
    QtPrinter &operator=(const QtPrinter &) = delete;

    bool isReachable() const override;
    int logPixelsX() const override;
    int logPixelsY() const override;
    int physicalWidth() const override;
    int physicalHeight() const override;
    int physicalOffsetX() const override;
    int physicalOffsetY() const override;
    int pageWidth() const override;
    int pageHeight() const override;

    TPrinterOrientation orientation() const override;
    void setOrientation(TPrinterOrientation orientation) override;
    QString title() const override;
    void setTitle(const QString &title) override;

    bool printing() const override;
    void beginDoc() override;
    void newPage() override;
    void endDoc() override;
    void abort() override;

    QPainter *canvas() override;
    void drawPicture(const QRect &target, const QImage &indexed) override;
    QPaintDevice *device() override;
    QFont font() const override;
    void setFont(const QFont &font) override;
    QColor fontColor() const override;
    void setFontColor(const QColor &color) override;

    QStringList printerNames() const override;
    QString printerName() const override;
    void selectPrinter(const QString &name) override;

    bool printDialog(QWidget *owner) override;
    bool printerSetup(QWidget *owner) override;
    bool pageSetup(QMargins &margins, quint32 flags) override;

    // The QPrinter itself, for the system's print and page-setup dialogs.
    QPrinter &qprinter() { return m_printer; }

private:
    void usePrintableArea();
    void requireJob(const char *step) const;
    // The job goes to a PDF file rather than to a print service.
    bool toFile() const;
    // Puts the job's indexed picture into the finished PDF file.
    void addPictureToFile();

    QPrinter m_printer{QPrinter::HighResolution};
    QString m_pdfFile;
    QMarginsF m_unprintableMm;
    QFont m_font;
    QColor m_fontColor = Qt::black;
    std::unique_ptr<QPainter> m_painter;
    // The running file job's indexed picture, written into the file when the
    // job ends.
    QImage m_picture;
};

} // namespace platform
