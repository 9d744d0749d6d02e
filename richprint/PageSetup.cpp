#include "RichPrint.h"

#include "UnitConversion.h"

using namespace richprint;

void TRichPrinter::setOptions_Dialog(TPageOptions options)
{
    using namespace platform;
    quint32 flags = 0;
    if (options & poDisableMargins) {
        flags |= PsdDisableMargins;
        options &= ~TPageOptions(poMargins);
    }
    if (options & poMargins) {
        flags |= PsdMargins;
        options &= ~TPageOptions(poDisableMargins);
    }
    if (options & poDisableOrientation)
        flags |= PsdDisableOrientation;
    if (options & poDisablePaper)
        flags |= PsdDisablePaper;
    if (options & poDisablePrinter)
        flags |= PsdDisablePrinter;
    flags |=
        m_measureUnit == muMillimeters ? PsdInHundredthsOfMillimeters : PsdInThousandthsOfInches;
    m_options = options;
    m_dialogFlags = flags;
}

bool TRichPrinter::PageSetup()
{
    if (!reachable())
        throw platform::PrinterError(QStringLiteral("There is no printer installed"));
    if (m_saveMargins)
        ReadMargins();
    setOrientation(Orientation());
    const bool millimetres = m_measureUnit == muMillimeters;
    const long double perUnit = millimetres ? 100 : 1000;
    QMargins rect(roundHalfEven(m_marginLeft * perUnit), roundHalfEven(m_marginTop * perUnit),
                  roundHalfEven(m_marginRight * perUnit), roundHalfEven(m_marginBottom * perUnit));
    quint32 flags = m_dialogFlags | platform::PsdEnablePageSetupHook;
    // The margins are given in the engine's unit, also before Options_Dialog
    // has been assigned.
    flags &= ~quint32(platform::PsdInHundredthsOfMillimeters | platform::PsdInThousandthsOfInches);
    flags |=
        millimetres ? platform::PsdInHundredthsOfMillimeters : platform::PsdInThousandthsOfInches;
    const bool accepted = m_printer.pageSetup(rect, flags);
    const double perValue = millimetres ? 0.01 : 0.001;
    setMarginLeft(rect.left() * perValue);
    setMarginTop(rect.top() * perValue);
    setMarginRight(rect.right() * perValue);
    setMarginBottom(rect.bottom() * perValue);
    ReapplySettings();
    if (m_saveMargins)
        WriteMargins();
    return accepted;
}
