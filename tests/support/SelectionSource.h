#pragma once

#include <QList>
#include <QPair>
#include <QProcess>
#include <QStringList>

// The tests' own selection source (selection_source), run as a separate
// program: a window showing a known text selected that answers Ctrl+C.
class SelectionSource {
public:
    explicit SelectionSource(const QStringList &arguments);
    ~SelectionSource();
    SelectionSource(const SelectionSource &) = delete;
    SelectionSource &operator=(const SelectionSource &) = delete;

    // Waits until the program has shown its window; false on timeout.
    bool waitForWindow(int timeoutMs = 20000);
    qulonglong window() const { return m_window; }
    // How many copies the program has answered so far.
    int copies();
    // The key events the window got so far: (pressed?, Qt key).
    QList<QPair<bool, int>> keyEvents();

private:
    void readOutput();

    QProcess m_process;
    qulonglong m_window = 0;
    int m_copies = 0;
    QList<QPair<bool, int>> m_keys;
};
