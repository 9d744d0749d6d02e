#pragma once

#include "FakeDesktop.h"
#include "platform/Services.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace platform {
class QtPrinter;
class UserStore;
class X11Services;
} // namespace platform

// The desktop services of the tests, loaded when QUILLET_SERVICES is "test"
// (quillet_test(... SERVICES) sets it). Jobs go to a PDF file and the user
// store is a file in a temporary folder; the tray icon, taskbar entry and help
// are the X11 desktop's. The clipboard, synthetic input and window list are
// the X11 ones too, until a test switches to the scripted desktop.
class TestServices : public platform::Services {
public:
    TestServices();
    ~TestServices() override;

    // The loaded services; the test fails at once when they are not these.
    static TestServices &instance();

    // Later jobs go to `pdfFile`: Letter paper with a 6.35 mm unprintable
    // strip. A print engine made before keeps the printer it had, which must
    // no longer be in use.
    void usePdfPrinter(const QString &pdfFile);
    // Later reads and writes of the user store go to `filePath`.
    void useUserStore(const QString &filePath);
    // Clipboard, synthetic input and window list: the fakes below when on,
    // the X11 desktop's when off.
    void useScriptedDesktop(bool on) { m_scripted = on; }

    FakeClipboard fakeClipboard;
    FakeInput fakeInput;
    FakeWindows fakeWindows;

    platform::AppWindows &appWindows() override;
    platform::Help &help() override;
    std::unique_ptr<platform::TrayIcon> createTrayIcon(QObject *parent) override;
    platform::SyntheticInput &input() override;
    platform::DesktopWindows &windows() override;
    platform::Clipboard &clipboard() override;
    platform::Printer &printer() override;
    platform::UserStore &userStore() override;
    // The screen and the input grabs are the X11 desktop's.
    platform::ScreenGrab &screenGrab() override;
    platform::InputGrab &inputGrab() override;

private:
    std::unique_ptr<platform::X11Services> m_x11;
    QTemporaryDir m_dir;
    std::unique_ptr<platform::QtPrinter> m_printer;
    std::unique_ptr<platform::UserStore> m_store;
    bool m_scripted = false;
};
