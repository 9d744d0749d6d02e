#pragma once

#include <QtGlobal>

#include <memory>

class QMimeData;

namespace platform {

// The largest single format kept when the clipboard's content is saved.
inline constexpr qint64 SavedFormatLimit = 64ll * 1024 * 1024;

// The desktop's clipboard (on X11 the CLIPBOARD selection), shared by every
// program. Reading its content goes through QClipboard and the rich-text
// control's paste; this interface holds what Qt alone does not do reliably
// when another program owns the clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Empties the clipboard, whichever program holds it now.
    virtual void clear() = 0;
    // True when the clipboard offers plain text.
    virtual bool hasText() = 0;

    // A copy of every format the clipboard offers now, each under its MIME
    // name (a format larger than SavedFormatLimit is left out); nullptr when
    // nothing is offered.
    virtual std::unique_ptr<QMimeData> save() = 0;
    // Makes this program the clipboard's owner, offering a copy of `content`.
    virtual void offer(const QMimeData &content) = 0;

    // Puts the text of the primary selection (what the user highlighted,
    // with no copy command) on the clipboard as this program's. False when
    // nothing is highlighted or its owner gave no text within `timeoutMs`.
    virtual bool copyPrimary(int timeoutMs) = 0;
    // Waits, handling the program's events, until another program has taken
    // the clipboard since the last clear() and offers text, and has then left
    // it alone for `settleMs` (a program may take it twice in a row, the
    // second time with a richer offer); or, when no copy comes, until more
    // than `limitMs` have passed.
    virtual void waitForCopy(int limitMs, int settleMs) = 0;
};

} // namespace platform
