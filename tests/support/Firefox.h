#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Firefox ESR with a profile of its own, showing one local page.
class Firefox {
public:
    explicit Firefox(const QString &page);
    ~Firefox();
    Firefox(const Firefox &) = delete;
    Firefox &operator=(const Firefox &) = delete;

    // Waits until a window shows the page, known by its title starting with
    // `title`; false on timeout (the browser is slow under a virtual X server).
    bool waitForPage(const QString &title);
    // Selects the whole page as a user would: a click into the page, Ctrl+A.
    void selectAll();

private:
    QTemporaryDir m_profile;
    QProcess m_process;
    qulonglong m_window = 0;
};
