#include "RichPrint.h"

#include "RichPrntProgDlg.h"
#include "platform/Services.h"
#include "platform/UserStore.h"

#include <QFont>

TRichPrinter::TRichPrinter(QObject *parent)
    : TRichPrinter(platform::services().printer(), platform::services().userStore(), parent)
{
}

TRichPrinter::TRichPrinter(platform::Printer &printer, platform::UserStore &store, QObject *parent)
    : QObject(parent), m_printer(printer), m_store(store)
{
    // The header and footer texts and the lengths start at their defaults as
    // they are, without clamping.
    if (reachable() && !m_printer.printing()) {
        m_printer.setOrientation(poPortrait);
        m_printer.setTitle(QString());
    }
    setMeasureUnit(muMillimeters); // converts nothing yet
    m_saveMargins = false;
    // The header and footer font is the printer's drawing font.
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(10);
    m_printer.setFont(font);
    m_printer.setFontColor(Qt::black);
    m_constructing = false;
}

TRichPrinter::~TRichPrinter()
{
    delete m_progressWindow;
}

// --- Orientation and title -------------------------------------------------

TPrinterOrientation TRichPrinter::Orientation() const
{
    return reachable() ? m_printer.orientation() : poPortrait;
}

void TRichPrinter::setOrientation(TPrinterOrientation orientation)
{
    if (m_printer.printing())
        throw ELinePrinter(QStringLiteral("Unable to change orientation while printing"));
    if (reachable())
        m_printer.setOrientation(orientation);
}

QString TRichPrinter::Title() const
{
    return reachable() ? m_printer.title() : QStringLiteral("<Unknown>");
}

void TRichPrinter::setTitle(const QString &title)
{
    if (m_printer.printing())
        throw ELinePrinter(QStringLiteral("Unable to change title while printing"));
    if (reachable())
        m_printer.setTitle(title);
}
