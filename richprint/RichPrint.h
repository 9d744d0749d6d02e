#pragma once

#include "RichPrntProgDlg.h"
#include "platform/AppError.h"
#include "platform/Printer.h"

#include <QFlags>
#include <QFont>
#include <QImage>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

class QColor;
class QPainter;
class QPaintDevice;

namespace platform {
class RichEdit;
class UserStore;
} // namespace platform

// The unit of every length the engine holds; the ordinals are stored.
enum TMeasureUnit { muMillimeters = 0, muInches = 1 };

// The print engine's own error, with a fixed English message.
class ELinePrinter : public platform::AppError {
public:
    using AppError::AppError;
};

// The border lines drawn around the text area.
enum TPageBorderStyle { pbTop = 0x1, pbBottom = 0x2, pbLeft = 0x4, pbRight = 0x8 };
Q_DECLARE_FLAGS(TPageBorders, TPageBorderStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPageBorders)

// What the page-setup dialog offers.
enum TPageSetupFlags {
    poDisableMargins = 0x1,
    poMargins = 0x2,
    poDisableOrientation = 0x4,
    poDisablePaper = 0x8,
    poDisablePrinter = 0x10,
};
Q_DECLARE_FLAGS(TPageOptions, TPageSetupFlags)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPageOptions)

// One column of a header or footer format: alignment and width in the
// engine's measure unit.
enum class TColumnAlign { Left, Right, Center };
struct TColumnSpec {
    TColumnAlign align = TColumnAlign::Left;
    double width = 0;
    bool operator==(const TColumnSpec &) const = default;
};

// The column-format language of header and footer lines.
namespace HeaderFooter {
// Splits at every "|": no escapes; an empty string is one empty part and a
// trailing bar adds an empty part.
QStringList SplitColumns(const QString &text);
// "<" left (also without a mark), ">" right, "^" centred, then a width in the
// locale's decimal notation, blanks allowed around it. No width, or one that is
// not a number, gives `defaultWidth`.
TColumnSpec ParseColumnSpec(const QString &spec, double defaultWidth, const QLocale &locale);
// Replaces every occurrence of `macro` in `text` by `value`, unless the value
// itself holds the macro: then the text is returned unchanged.
QString ReplaceMacro(const QString &macro, const QString &value, const QString &text);
} // namespace HeaderFooter

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

    TPageBorders PageBorders() const { return m_pageBorders; }
    void setPageBorders(TPageBorders borders) { m_pageBorders = borders; }

    // The font of header and footer is the printer's drawing font itself.
    // Writing copies it there (white becomes black) and re-measures the line
    // height; ignored when the printer cannot be reached.
    QFont Font_HeaderFooter() const;
    QColor FontColor_HeaderFooter() const;
    void setFont_HeaderFooter(const QFont &font, const QColor &color);

    // What the page-setup dialog offers. Assigning computes DialogFlags in the
    // measure unit of the moment; margins disabled wins over margins offered.
    TPageOptions Options_Dialog() const { return m_options; }
    void setOptions_Dialog(TPageOptions options);
    quint32 DialogFlags() const { return m_dialogFlags; }

    // --- Printing ----------------------------------------------------------
    // Prints the whole text of `control` as one job, numbering the pages from
    // `firstPage`. Throws ELinePrinter or the printer's error; a job that
    // fails after it started is thrown away, so the next one can start.
    void PrintRichEdit(platform::RichEdit *control, int firstPage);
    // The page-setup dialog. Margins, paper and orientation are taken over and
    // stored (with SaveMargins) whatever the user answers; true on OK.
    bool PageSetup();

    int FirstPage() const { return m_firstPage; }
    int CurrentPage() const { return m_currentPage; }
    int LineHeight() const { return m_lineHeight; }
    // The progress window while a job shows it, else null.
    TRichPrntProgDlg *ProgressWindow() const { return m_progressWindow; }

    // --- Steps of a job and of its page decoration -------------------------
    // Used by the engine's own jobs; open for the tests of the page layout.
    void BeginDoc();
    int NewPage();
    void EndDoc();
    void ShowProgressStatus(const QString &status = QString());
    void DecoratePage();
    // Draws one line of `ColumnFormat` columns at the drawing position.
    void PrintColumns(const QString &text);
    QString ExpandMacros(const QString &text) const;
    // Today's date as {$DATE} shows it.
    QString dateText(const QLocale &locale) const;
    // The longest leading part of `text` at most `maxWidth` pixels wide, by
    // bisection; at least one character. Unmeasurable: the whole text.
    QString FitText(const QString &text, int maxWidth) const;
    void MatchFontToPrinter();
    void UpdateLineHeight();
    QString ColumnFormat() const { return m_columnFormat; }
    void setColumnFormat(const QString &format) { m_columnFormat = format; }
    int CursorX() const { return m_cursorX; }
    int CursorY() const { return m_cursorY; }
    // The logo's rectangle in device pixels: right under the header line, from
    // the left margin, its lengths scaled by the text area over the paper.
    QRect LogoRect() const;

signals:
    void OnBeginDoc(TRichPrinter *sender);
    void OnNewPage(TRichPrinter *sender);
    void OnEndDoc(TRichPrinter *sender);

public:
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
    void applyStoredMargins();

    bool reachable() const { return m_printer.isReachable(); }
    void setMargin(Edge edge, double value);
    int unitsToPixels(double length, int logPixels) const;
    double pixelsToUnits(int pixels, int logPixels) const;
    int pixelsToTwips(int pixels, int logPixels) const;
    // A length the printer gives in pixels, or the fallback in the current unit.
    double fromPrinter(int (platform::Printer::*pixels)() const, bool vertical, double inches,
                       double millimetres) const;
    QString convertedFormat(const QString &format, long double factor) const;
    // Printed width of `text` in the drawing font; throws PrinterError when
    // the printer cannot be reached.
    int textWidth(const QString &text) const;
    // The running job's canvas; throws PrinterError when there is none.
    QPainter &canvas() const;
    // Re-assigns the drawing font to itself, matched to the printer.
    void refreshFont();
    void drawBorders();
    void drawLogo();

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
    TPageBorders m_pageBorders;
    TPageOptions m_options = poMargins;
    quint32 m_dialogFlags = 0;

    QString m_columnFormat;
    int m_cursorX = 0;
    int m_cursorY = 0;
    int m_lineCounter = 0;
    int m_firstPage = 1;
    int m_currentPage = 0;
    // The date of dateText() and the local day it holds for: finding today's
    // date in the local time zone is the costliest part of a page's header.
    mutable QString m_dateText;
    mutable QLocale m_dateLocale;
    mutable qint64 m_dateFromMs = 0;
    mutable qint64 m_dateUntilMs = 0;
    platform::RichEdit *m_control = nullptr;
    QPointer<TRichPrntProgDlg> m_progressWindow;
};
