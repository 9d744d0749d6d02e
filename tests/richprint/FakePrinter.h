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
        m_painter = std::make_unique<QPainter>(&m_picture);
        pages = 1;
    }
    void newPage() override { ++pages; }
    void endDoc() override { m_painter.reset(); }
    void abort() override { m_painter.reset(); }

    QPainter *canvas() override { return m_painter.get(); }
    QPaintDevice *device() override { return reachable ? &m_picture : nullptr; }
    QFont font() const override { return m_font; }
    void setFont(const QFont &f) override { m_font = f; }

    QStringList printerNames() const override { return {QStringLiteral("Fake")}; }
    QString printerName() const override { return QStringLiteral("Fake"); }
    void selectPrinter(const QString &) override {}

private:
    QPicture m_picture;
    QFont m_font;
    std::unique_ptr<QPainter> m_painter;
};
