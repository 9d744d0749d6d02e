#pragma once

#include "../Clipboard.h"

#include <memory>

namespace platform {

namespace x11 {
class SelectionReader;
}

// The CLIPBOARD selection, through QClipboard and, where Qt would not
// manage on its own, the selection's ownership on the X server. Other
// programs' selections are read, and the clipboard's owner watched
// (XFixes), on a connection of its own.
class X11Clipboard : public Clipboard {
public:
    X11Clipboard();
    ~X11Clipboard() override;

    void clear() override;
    bool hasText() override;
    std::unique_ptr<QMimeData> save() override;
    void offer(const QMimeData &content) override;
    bool copyPrimary(int timeoutMs) override;
    void waitForCopy(int limitMs, int settleMs) override;

private:
    // Opened at first use; watching the clipboard's owner from then on.
    x11::SelectionReader &reader();
    // True when the clipboard's present owner offers text.
    bool ownerOffersText(int timeoutMs);

    std::unique_ptr<x11::SelectionReader> m_reader;
    bool m_watching = false;
    // Server time of the last clear(): later owners count as a copy.
    unsigned long m_clearedAt = 0;
};

} // namespace platform
