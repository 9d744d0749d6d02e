#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// LibreOffice Writer with a profile of its own, showing an RTF document of
// known content.
class LibreOfficeWriter {
public:
    explicit LibreOfficeWriter(const QByteArray &rtf);
    ~LibreOfficeWriter();
    LibreOfficeWriter(const LibreOfficeWriter &) = delete;
    LibreOfficeWriter &operator=(const LibreOfficeWriter &) = delete;

    // False where LibreOffice is missing or installed without its display
    // plug-in (the distribution's headless build), which shows no windows.
    static bool canShowWindows();

    // Waits until a window shows the document; false on timeout (the first
    // start with a fresh profile is slow).
    bool waitForDocument();
    // Selects the whole document as the user would, with Ctrl+A.
    void selectAll();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    qulonglong m_window = 0;
};
