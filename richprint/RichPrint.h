#pragma once

#include "platform/AppError.h"
#include "platform/Printer.h"

#include <QImage>
#include <QObject>
#include <QString>

namespace platform {
class UserStore;
} // namespace platform

// The unit of every length the engine holds; the ordinals are stored.
enum TMeasureUnit { muMillimeters = 0, muInches = 1 };

// The print engine's own error, with a fixed English message.
class ELinePrinter : public platform::AppError {
public:
    using AppError::AppError;
};

// The rich-text print engine: prints a rich-text control page by page with
// header, footer, borders and logo.
//
// Page geometry: lengths (margins, logo, border offset) are doubles in the
// current MeasureUnit, measured from the paper's edges; drawing happens in the
// printer's device pixels, counted from the top-left corner of the printable
// area. Everything that depends on the printer (paper, gutters, resolution) is
// asked of it again on every use, so a change of printer or paper needs no
// refresh. When the printer cannot be reached the engine works with 600 pixels
// per inch and a Letter (inches) or A4 (millimetres) page with a quarter-inch
// (6 mm) unprintable strip.
class TRichPrinter : public QObject {
    Q_OBJECT
public:
    // On the program's printer, storing margins in the user's settings store.
    explicit TRichPrinter(QObject *parent = nullptr);
    // On the given printer and store; both must outlive the engine.
    TRichPrinter(platform::Printer &printer, platform::UserStore &store, QObject *parent = nullptr);
    ~TRichPrinter() override;

    platform::Printer &printer() const { return m_printer; }

    // Switching the unit converts every length, rewrites the header and
    // footer formats and re-clamps the margins.
    TMeasureUnit MeasureUnit() const { return m_measureUnit; }
    void setMeasureUnit(TMeasureUnit unit);

    // When set, margins, unit and orientation are read from the settings
    // store before each job and around the page-setup dialog.
    bool SaveMargins() const { return m_saveMargins; }
    void setSaveMargins(bool on) { m_saveMargins = on; }

    // Margins stay between their gutter and the far side of the printable
    // area; they are not checked against each other. Changing one while
    // printing throws ELinePrinter.
    double MarginTop() const { return m_marginTop; }
    void setMarginTop(double value);
    double MarginBottom() const { return m_marginBottom; }
    void setMarginBottom(double value);
    double MarginLeft() const { return m_marginLeft; }
    void setMarginLeft(double value);
    double MarginRight() const { return m_marginRight; }
    void setMarginRight(double value);

    double LogoTop() const { return m_logoTop; }
    void setLogoTop(double value) { m_logoTop = value; }
    double LogoLeft() const { return m_logoLeft; }
    void setLogoLeft(double value) { m_logoLeft = value; }
    double LogoWidth() const { return m_logoWidth; }
    void setLogoWidth(double value) { m_logoWidth = value; }
    double LogoHeight() const { return m_logoHeight; }
    void setLogoHeight(double value) { m_logoHeight = value; }
    double BorderOffset() const { return m_borderOffset; }
    void setBorderOffset(double value) { m_borderOffset = value; }

    // Held by the printer. Unreachable printer: portrait and "<Unknown>", and
    // writes are ignored. Changing either while printing throws ELinePrinter.
    TPrinterOrientation Orientation() const;
    void setOrientation(TPrinterOrientation orientation);
    QString Title() const;
    void setTitle(const QString &title);

    // Header and footer: column texts and column formats.
    QString Header() const { return m_header; }
    void setHeader(const QString &text) { m_header = text; }
    QString HeaderFormat() const { return m_headerFormat; }
    void setHeaderFormat(const QString &format) { m_headerFormat = format; }
    QString Footer() const { return m_footer; }
    void setFooter(const QString &text) { m_footer = text; }
    QString FooterFormat() const { return m_footerFormat; }
    void setFooterFormat(const QString &format) { m_footerFormat = format; }

    bool ShowProgress() const { return m_showProgress; }
    void setShowProgress(bool on) { m_showProgress = on; }

    // The logo drawn with the header; writing copies the picture.
    const QImage &BitmapLogo() const { return m_bitmapLogo; }
    void setBitmapLogo(const QImage &picture) { m_bitmapLogo = picture; }

    // --- Page geometry, asked of the printer on every call -------------
    double PhysicalPageWidth() const;
    double PhysicalPageHeight() const;
    double PrintableWidth() const;
    double PrintableHeight() const;
    double GutterLeft() const;
    double GutterTop() const;
    double GutterRight() const;
    double GutterBottom() const;

    // Pixels between the printable area's edges and the margins, and the
    // text area between the margins.
    int LeftOffset() const;
    int RightOffset() const;
    int TopOffset() const;
    int BottomOffset() const;
    int TextAreaWidth() const;
    int TextAreaHeight() const;

    // --- Conversions for the printer selected now ------------------------
    // Rounds half to even.
    int UnitsToPixelsX(double length) const;
    int UnitsToPixelsY(double length) const;
    double PixelsToUnitsX(int pixels) const;
    double PixelsToUnitsY(int pixels) const;
    // Truncates toward zero.
    int PixelsToTwipsX(int pixels) const;
    int PixelsToTwipsY(int pixels) const;

    // --- Margins and their storage ---------------------------------------
    // Re-clamps the margins against the printer now selected (not while printing).
    void ReapplySettings();
    // Restores unit, margins and orientation from the settings store; without
    // stored margins it only re-clamps. Throws StoreError for a malformed value.
    void ReadMargins();
    // Stores margins, unit and orientation.
    void WriteMargins();

private:
    enum class Edge { Top, Bottom, Left, Right };

    bool reachable() const { return m_printer.isReachable(); }
    void setMargin(Edge edge, double value);
    int unitsToPixels(double length, int logPixels) const;
    double pixelsToUnits(int pixels, int logPixels) const;
    int pixelsToTwips(int pixels, int logPixels) const;
    // A length the printer gives in pixels, or the fallback in the current unit.
    double fromPrinter(int (platform::Printer::*pixels)() const, bool vertical, double inches,
                       double millimetres) const;
    QString convertedFormat(const QString &format, long double factor) const;

    platform::Printer &m_printer;
    platform::UserStore &m_store;

    bool m_constructing = true;
    TMeasureUnit m_measureUnit = muMillimeters;
    bool m_saveMargins = false;
    double m_marginTop = 30;
    double m_marginBottom = 25;
    double m_marginLeft = 25;
    double m_marginRight = 15;
    double m_logoTop = 0;
    double m_logoLeft = 0;
    double m_logoWidth = 25;
    double m_logoHeight = 20;
    double m_borderOffset = 2;
    // The width of a header or footer column whose format gives no width.
    double m_defaultColumnWidth = 0;
    // Height of one header or footer line in pixels, measured by the page
    // decoration; the footer band below the text area is never lower.
    int m_lineHeight = 0;

    QString m_header = QStringLiteral("{$TITLE}");
    QString m_headerFormat = QStringLiteral(">100");
    QString m_footer = QStringLiteral("Page {$PAGE}");
    QString m_footerFormat = QStringLiteral(">100");
    bool m_showProgress = true;
    QImage m_bitmapLogo;
};
