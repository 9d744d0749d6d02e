#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A running mousepad (the distribution's text editor) with a file of known text.
class Mousepad {
public:
    explicit Mousepad(const QByteArray &content);
    ~Mousepad();
    Mousepad(const Mousepad &) = delete;
    Mousepad &operator=(const Mousepad &) = delete;

    // Waits until its window is shown; false on timeout.
    bool waitForWindow();
    // Selects the whole document as the user would, with Ctrl+A.
    void selectAll();
    qulonglong window() const { return m_window; }

private:
    QTemporaryDir m_dir;
    QString m_file;
    QProcess m_process;
    qulonglong m_window = 0;
};
