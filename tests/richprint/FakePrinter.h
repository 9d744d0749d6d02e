#pragma once

#include "platform/Printer.h"

#include <QPainter>
#include <QPicture>

#include <memory>

// A printer whose device figures the test sets; jobs are drawn into a picture.
class FakePrinter : public platform::Printer {
public:
    bool reachable = true;
    int dpiX = 600;
    int dpiY = 600;
    int paperWidth = 5100; // Letter at 600 dpi
    int paperHeight = 6600;
    int offsetX = 150;
    int offsetY = 150;
    int printableWidth = 4800;
    int printableHeight = 6300;
    TPrinterOrientation currentOrientation = poLandscape;
    QString jobTitle = QStringLiteral("left over");
    int pages = 0;
    // Steps of a job that fail, as a device that refuses them.
    bool failBegin = false;
    bool failNewPage = false;
    bool failEnd = false;
    bool ioFailure = false; // fail as output that cannot be written
    int aborted = 0;
    // The page-setup dialog's scripted answer: on OK the margins become `setupChoice`.
    bool setupAnswer = false;
    QMargins setupChoice;
    QMargins setupGiven;
    quint32 setupFlags = 0;
    bool printDialogAnswer = true;

    bool isReachable() const override { return reachable; }
    int logPixelsX() const override { return dpiX; }
    int logPixelsY() const override { return dpiY; }
    int physicalWidth() const override { return paperWidth; }
    int physicalHeight() const override { return paperHeight; }
    int physicalOffsetX() const override { return offsetX; }
    int physicalOffsetY() const override { return offsetY; }
    int pageWidth() const override { return printableWidth; }
    int pageHeight() const override { return printableHeight; }

    TPrinterOrientation orientation() const override { return currentOrientation; }
    void setOrientation(TPrinterOrientation o) override { currentOrientation = o; }
    QString title() const override { return jobTitle; }
    void setTitle(const QString &t) override { jobTitle = t; }

    bool printing() const override { return m_painter != nullptr; }
    void beginDoc() override
    {
        if (m_painter)
            throw platform::PrinterError(QStringLiteral("A print job is already running"));
        if (failBegin)
            fail();
        m_picture = QPicture();
        m_painter = std::make_unique<QPainter>(&m_picture);
        pages = 1;
    }
    void newPage() override
    {
        if (failNewPage)
            fail();
        ++pages;
    }
    void endDoc() override
    {
        m_painter.reset();
        if (failEnd)
            fail();
    }
    void abort() override
    {
        if (m_painter)
            ++aborted;
        m_painter.reset();
    }

    QPainter *canvas() override { return m_painter.get(); }
    QPaintDevice *device() override { return reachable ? &m_picture : nullptr; }
    QFont font() const override { return m_font; }
    void setFont(const QFont &f) override { m_font = f; }
    QColor fontColor() const override { return m_color; }
    void setFontColor(const QColor &c) override { m_color = c; }

    QStringList printerNames() const override { return {QStringLiteral("Fake")}; }
    QString printerName() const override { return QStringLiteral("Fake"); }
    void selectPrinter(const QString &) override {}
    bool printDialog(QWidget *) override { return printDialogAnswer; }
    bool printerSetup(QWidget *) override { return printDialogAnswer; }
    bool pageSetup(QMargins &margins, quint32 flags) override
    {
        setupGiven = margins;
        setupFlags = flags;
        if (setupAnswer)
            margins = setupChoice;
        return setupAnswer;
    }

private:
    void fail() const
    {
        if (ioFailure)
            throw platform::PrinterIoError(QStringLiteral("Disk full"));
        throw platform::PrinterError(QStringLiteral("The device refused"));
    }

    QPicture m_picture;
    QFont m_font;
    QColor m_color;
    std::unique_ptr<QPainter> m_painter;
};
