// The rich-text control's clipboard: what it offers when text is copied, and
// how it takes what is pasted, with a cost bounded by the size of the paste.
#include "platform/RichEdit.h"

#include "platform/Dialogs.h"
#include "platform/HtmlImport.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QScopeGuard>
#include <QTextDocumentFragment>

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

void RichEdit::insertPastedText(const QString &pasted)
{
    QString text = normalizeLineEnds(pasted);
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
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(text); // in the format of the insertion point
    cursor.endEditBlock();
    setTextCursor(cursor);
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
        if (rtf.size() <= kMaxRtfBytes && insertRtf(rtf, kMaxFormattedParagraphs)) {
            ensureCursorVisible();
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
                cursor.insertFragment(*fragment);
                setTextCursor(cursor);
                ensureCursorVisible();
                return;
            }
        }
        tooLarge = true;
    }
    if (source->hasText()) {
        insertPastedText(source->text());
        ensureCursorVisible();
    }
    if (tooLarge)
        showMessageBox(tooLargeToPasteMessage(), this);
}

} // namespace platform
