#include "TestServices.h"

#include "platform/TrayIcon.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "platform/x11/X11Services.h"

#include <QtGlobal>

namespace {
// Registered when a test links this file, that is when it uses TestServices.
void registerTestServices()
{
    platform::registerServicesBackend(QStringLiteral("test"),
                                      [] { return std::make_unique<TestServices>(); });
}
Q_CONSTRUCTOR_FUNCTION(registerTestServices)
} // namespace

TestServices::TestServices() : m_x11(std::make_unique<platform::X11Services>())
{
    usePdfPrinter(m_dir.filePath(QStringLiteral("print.pdf")));
    useUserStore(m_dir.filePath(QStringLiteral("user.store")));
}

TestServices::~TestServices() = default;

TestServices &TestServices::instance()
{
    auto *loaded = dynamic_cast<TestServices *>(&platform::services());
    if (!loaded)
        qFatal("The test services are not loaded: run the test with QUILLET_SERVICES=test");
    return *loaded;
}

void TestServices::usePdfPrinter(const QString &pdfFile)
{
    m_printer = std::make_unique<platform::QtPrinter>(pdfFile, QPageSize(QPageSize::Letter),
                                                      QMarginsF(6.35, 6.35, 6.35, 6.35));
}

void TestServices::useUserStore(const QString &filePath)
{
    m_store = std::make_unique<platform::UserStore>(filePath);
}

platform::AppWindows &TestServices::appWindows()
{
    return m_x11->appWindows();
}

platform::Help &TestServices::help()
{
    return m_x11->help();
}

platform::ScreenGrab &TestServices::screenGrab()
{
    return m_x11->screenGrab();
}

platform::InputGrab &TestServices::inputGrab()
{
    return m_x11->inputGrab();
}

std::unique_ptr<platform::TrayIcon> TestServices::createTrayIcon(QObject *parent)
{
    return m_x11->createTrayIcon(parent);
}

platform::SyntheticInput &TestServices::input()
{
    return m_scripted ? static_cast<platform::SyntheticInput &>(fakeInput) : m_x11->input();
}

platform::DesktopWindows &TestServices::windows()
{
    return m_scripted ? static_cast<platform::DesktopWindows &>(fakeWindows) : m_x11->windows();
}

platform::Clipboard &TestServices::clipboard()
{
    return m_scripted ? static_cast<platform::Clipboard &>(fakeClipboard) : m_x11->clipboard();
}

platform::Printer &TestServices::printer()
{
    return *m_printer;
}

platform::UserStore &TestServices::userStore()
{
    return *m_store;
}
