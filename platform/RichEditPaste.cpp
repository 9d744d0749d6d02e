// The rich-text control's clipboard: what it offers when text is copied, and
// how it takes what is pasted, with a cost bounded by the size of the paste.
#include "platform/RichEdit.h"

#include "platform/Dialogs.h"
#include "platform/HtmlImport.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMimeData>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTimer>

#include <optional>
#include <utility>

namespace platform {

namespace {

const QString kRtfMimeTypes[] = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                 QStringLiteral("text/richtext")};

// Limits of a paste taken as formatted text. A paragraph costs the document a
// few hundred bytes and its layout some microseconds whatever its length, so
// the count of paragraphs is bounded as well as the size; within these a paste
// takes a few seconds at most. Beyond them the plain text is pasted.
constexpr qsizetype kMaxRtfBytes = 32 * 1024 * 1024;
constexpr qsizetype kMaxHtmlBytes = 4 * 1024 * 1024;
constexpr int kMaxFormattedParagraphs = 50000;
// Plain text keeps every line break; beyond this many paragraphs the breaks
// within groups of lines are line breaks inside one paragraph.
constexpr int kMaxTextParagraphs = 50000;
// Pastes of more characters than this are inserted without laying the
// document out; it is laid out afterwards in steps between events.
constexpr qsizetype kLazyLayoutChars = 64 * 1024;

// While it lives, the document is not laid out as it changes: a document
// with a null page size has no layout. When it ends, the page size comes
// back and the document is laid out again from its start as when it is
// first loaded: the part in view at once, the rest in steps between events,
// so that the control answers input long before 20 MB of text are laid
// out. Placing the insertion point lays out everything before it, so
// setTextCursor() within the scope asks for a scroll to nowhere; the scroll
// position is kept instead.
class LayoutPause {
public:
    LayoutPause(QTextEdit *edit, bool active) : m_edit(active ? edit : nullptr)
    {
        if (!m_edit)
            return;
        m_pageSize = m_edit->document()->pageSize();
        m_scroll = {m_edit->horizontalScrollBar()->value(), m_edit->verticalScrollBar()->value()};
        m_edit->document()->setPageSize(QSizeF(0, 0));
    }
    ~LayoutPause()
    {
        if (!m_edit)
            return;
        m_edit->horizontalScrollBar()->setValue(m_scroll.x());
        m_edit->verticalScrollBar()->setValue(m_scroll.y());
        // Its lines mark whether the layout has reached the insertion point.
        m_edit->textCursor().block().clearLayout();
        m_edit->document()->setPageSize(m_pageSize);
    }
    LayoutPause(const LayoutPause &) = delete;
    LayoutPause &operator=(const LayoutPause &) = delete;

private:
    QTextEdit *m_edit;
    QSizeF m_pageSize;
    QPoint m_scroll;
};

bool laidOut(const QTextBlock &block)
{
    return block.isValid() && block.layout() && block.layout()->lineCount() > 0;
}

// The layout measures heights in 1/64 pixel in 32 bits: a document taller
// than 2^25 pixels is never laid out to its end (the layout of the line that
// passes the limit does not end). Half of that is left for what the guess
// below misses (mixed fonts, lines wrapped more than on average).
constexpr double kMaxDocumentPixels = double(1 << 24);

// Whether a document holding `lines` more lines and `chars` more characters
// in `font` stays within the height the layout can measure. Wrapped lines
// are guessed from the average character width.
bool fitsLayout(const QTextDocument &doc, const QFont &font, qsizetype lines, qsizetype chars)
{
    const QFontMetricsF metrics(font);
    const double width = doc.textWidth();
    const double wrapsPerChar = width > 0 ? metrics.averageCharWidth() / width : 0;
    const double total =
        double(doc.blockCount() + lines) + double(doc.characterCount() + chars) * wrapsPerChar;
    return total * metrics.lineSpacing() < kMaxDocumentPixels;
}

// Holds back the insertion point's blinking, whose every blink asks for the
// insertion point's place and so lays out all the text before it at once.
class BlinkHold : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::Timer; }
};

} // namespace

QString RichEdit::tooLargeToPasteMessage()
{
    return QStringLiteral("The clipboard content is too large to paste as formatted text. "
                          "It is pasted as plain text.");
}

QMimeData *RichEdit::createMimeDataFromSelection() const
{
    auto *mime = new QMimeData;
    const QTextDocumentFragment fragment(textCursor());
    mime->setText(fragment.toPlainText());
    mime->setHtml(fragment.toHtml());
    const QByteArray rtf = toRtf(true);
    mime->setData(kRtfMimeTypes[0], rtf);
    mime->setData(kRtfMimeTypes[1], rtf);
    return mime;
}

bool RichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    for (const QString &type : kRtfMimeTypes) {
        if (source->hasFormat(type))
            return true;
    }
    return source->hasHtml() || source->hasText();
}

QString RichEdit::tooLongToPasteMessage()
{
    return QStringLiteral("The clipboard text is too long to paste: it makes more lines than "
                          "the editor can hold.");
}

std::optional<QString> RichEdit::pastableText(const QString &pasted) const
{
    QString text = normalizeLineEnds(pasted);
    const qsizetype lines = text.count(u'\n') + 1;
    const QFont font = textCursor().charFormat().font().resolve(document()->defaultFont());
    if (!fitsLayout(*document(), font, lines, text.size()))
        return std::nullopt;
    return text;
}

void RichEdit::insertPastedText(QString text)
{
    const qsizetype lines = text.count(u'\n') + 1;
    if (lines > kMaxTextParagraphs) {
        // Every paragraph costs the document and its layout, an empty one as
        // much as a long one: lines are grouped into paragraphs, each line
        // still on a line of its own.
        const qsizetype group = (lines + kMaxTextParagraphs - 1) / kMaxTextParagraphs;
        qsizetype line = 0;
        for (QChar &c : text) {
            if (c == u'\n' && ++line % group != 0)
                c = QChar::LineSeparator;
        }
    }
    const LayoutPause pause(this, text.size() > kLazyLayoutChars);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(text); // in the format of the insertion point
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void RichEdit::revealCursorWhenLaidOut()
{
    if (laidOut(textCursor().block())) {
        ensureCursorVisible();
        return;
    }
    // Asking for the cursor's place now would lay out all the text before
    // it: the view follows once the layout in steps has reached it, unless
    // the user has moved the insertion point by then.
    auto *wait = new QTimer(this);
    connect(this, &QTextEdit::cursorPositionChanged, wait, &QObject::deleteLater);
    // The control that draws the insertion point blinks it by timer events;
    // they wait while this does (the hold goes with the timer).
    for (QObject *child : children()) {
        if (child->inherits("QWidgetTextControl"))
            child->installEventFilter(new BlinkHold(wait));
    }
    connect(wait, &QTimer::timeout, this, [this, wait] {
        const QTextBlock block = textCursor().block();
        if (!block.isValid() || !block.isVisible() || laidOut(block)) {
            wait->deleteLater();
            ensureCursorVisible();
        }
    });
    wait->start(20);
}

void RichEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source)
        return;
    // Fetching a large offer from another program and reading it take a
    // while: the busy cursor shows for the whole paste (asking the sizes of
    // all offers first would fetch every one of them).
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });

    bool tooLarge = false;
    for (const QString &type : kRtfMimeTypes) {
        if (!source->hasFormat(type))
            continue;
        const QByteArray rtf = source->data(type);
        if (!holdsRtf(rtf))
            continue;
        // Nested too deeply or too large: the plain text instead.
        bool inserted = false;
        if (rtf.size() <= kMaxRtfBytes) {
            const LayoutPause pause(this, rtf.size() > kLazyLayoutChars);
            inserted = insertRtf(rtf, kMaxFormattedParagraphs);
        }
        if (inserted) {
            revealCursorWhenLaidOut();
            return;
        }
        tooLarge = true;
        break;
    }
    if (!tooLarge && source->hasHtml()) {
        // What the HTML leaves open comes from the font at the insertion point.
        QTextCursor cursor = textCursor();
        QTextCharFormat base = cursor.charFormat();
        const QFont docFont = document()->defaultFont();
        if (base.fontFamilies().toStringList().value(0).isEmpty())
            base.setFontFamilies(QStringList{docFont.family()});
        if (base.fontPointSize() <= 0)
            base.setFontPointSize(docFont.pointSizeF());
        const QByteArray bytes = source->data(QStringLiteral("text/html"));
        const QString html = bytes.isEmpty() ? source->html() : HtmlImport::decode(bytes);
        if (html.size() <= kMaxHtmlBytes) {
            // Elements nested deeper than the reader's limit are read as part
            // of their parent.
            if (const auto fragment =
                    HtmlImport::boundedFragment(html, base, kMaxFormattedParagraphs)) {
                {
                    const LayoutPause pause(this, html.size() > kLazyLayoutChars);
                    cursor.insertFragment(*fragment);
                    setTextCursor(cursor);
                }
                revealCursorWhenLaidOut();
                return;
            }
        }
        tooLarge = true;
    }
    // The text is taken before a message box runs its event loop, in which
    // the clipboard may change. The message comes before the paste: a message
    // box taking the focus asks for the insertion point's place, which would
    // lay out all the pasted text at once.
    // Text that makes more lines than the editor can hold is refused with
    // its own message alone: saying it is pasted as plain text would be wrong.
    const bool hasText = source->hasText();
    const std::optional<QString> text =
        hasText ? pastableText(source->text()) : std::optional<QString>();
    if (hasText && !text) {
        showMessageBox(tooLongToPasteMessage(), this);
        return;
    }
    if (tooLarge)
        showMessageBox(tooLargeToPasteMessage(), this);
    if (!text)
        return;
    insertPastedText(std::move(*text));
    revealCursorWhenLaidOut();
}

} // namespace platform
