#pragma once

#include "richprint/RichPrint.h"

// The print engine set up as the page-print checks and the print benchmark
// use it: one-inch margins, header and footer centred on the 7.874-inch line,
// no progress window. Header, footer and title are left to the caller.
inline void setOneInchPage(TRichPrinter &engine)
{
    engine.setMeasureUnit(muInches);
    for (auto setter : {&TRichPrinter::setMarginTop, &TRichPrinter::setMarginBottom,
                        &TRichPrinter::setMarginLeft, &TRichPrinter::setMarginRight})
        (engine.*setter)(1.0);
    engine.setHeaderFormat(QStringLiteral(">   3.937"));
    engine.setFooterFormat(QStringLiteral(">   3.937"));
    engine.setShowProgress(false);
}
