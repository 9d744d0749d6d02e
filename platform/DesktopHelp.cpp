#include "DesktopHelp.h"

#include "ProgramFolder.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

void DesktopHelp::showContext(int context)
{
    QUrl url = QUrl::fromLocalFile(programFile(helpFileName()));
    url.setFragment(QStringLiteral("topic-%1").arg(context));
    QDesktopServices::openUrl(url);
}

} // namespace platform
