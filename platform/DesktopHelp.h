#pragma once

#include "Help.h"

#include <QString>

namespace platform {

// The help file is an HTML page beside the executable with one anchor per
// topic ("topic-<context>"), opened in the user's browser.
class DesktopHelp : public Help {
public:
    static QString helpFileName() { return QStringLiteral("quillet.html"); }
    void showContext(int context) override;
};

} // namespace platform
