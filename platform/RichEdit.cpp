#include "platform/RichEdit.h"

#include "platform/AppError.h"
#include "platform/HtmlImport.h"
#include "platform/PrintLayout.h"
#include "platform/rtf/RtfCommon.h"
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kMaxFaceLength = 32;

QString failedToLoad()
{
    return QStringLiteral("Failed to Load Stream");
}

// Plain text of a file or stream: Unicode with a byte-order mark, UTF-8 when
// the bytes are valid UTF-8, else Windows-1252. Bytes with NULs outside
// UTF-16 are not text.
bool decodePlainText(const QByteArray &data, QString &text)
{
    const auto startsWith = [&](const char *bom, int n) {
        return data.size() >= n && std::equal(bom, bom + n, data.constData());
    };
    if (startsWith("\xFF\xFE", 2) || startsWith("\xFE\xFF", 2)) {
        QStringDecoder decoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
        text = decoder.decode(data);
        return true;
    }
    if (data.contains('\0'))
        return false;
    QByteArray bytes = data;
    if (startsWith("\xEF\xBB\xBF", 3))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(bytes);
    if (utf8.hasError()) {
        rtf::CodePageDecoder cp;
        text = cp.decode(bytes, 1252);
    }
    return true;
}

QString lineTextOf(const QTextBlock &block, const QTextLine &line)
{
    QString text = block.text().mid(line.textStart(), line.textLength());
    if (text.endsWith(QChar::LineSeparator))
        text.chop(1);
    return text;
}

// Blocks touched by the cursor's selection (or the cursor's block).
template <typename F> void forEachSelectedBlock(const QTextCursor &cursor, F f)
{
    QTextDocument *doc = cursor.document();
    QTextBlock block = doc->findBlock(cursor.selectionStart());
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    for (; block.isValid(); block = block.next()) {
        f(block);
        if (block == last)
            break;
    }
}

} // namespace

QString RichEdit::normalizeLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.remove(QChar(0)); // a UTF-16 text may still carry NULs
    return text;
}

RichEdit::RichEdit(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setTabChangesFocus(false);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        invalidateLines();
        m_pages.reset();
    });
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this] { invalidateLines(); });
}

RichEdit::~RichEdit() = default;

// --- Streams -----------------------------------------------------------------

bool RichEdit::holdsRtf(const QByteArray &data)
{
    return data.startsWith("{\\rtf");
}

void RichEdit::loadFromStream(const QByteArray &bytes)
{
    QTextDocument *doc = document();
    const QTextCharFormat format = currentCharFormat();
    doc->setUndoRedoEnabled(false);
    bool ok = true;
    if (holdsRtf(bytes)) {
        ok = rtf::RtfReader::read(bytes, *doc);
        if (!ok)
            doc->clear();
    } else {
        QString text;
        ok = decodePlainText(bytes, text);
        doc->clear();
        if (ok) {
            // Plain text takes the format of the insertion point: the default font.
            QTextCursor cursor(doc);
            cursor.setBlockCharFormat(format);
            cursor.insertText(normalizeLineEnds(text), format);
        }
    }
    doc->setUndoRedoEnabled(true);
    QTextCursor start(doc);
    setTextCursor(start);
    if (!ok)
        throw AppError(failedToLoad());
}

QByteArray RichEdit::toRtf(bool selectionOnly) const
{
    if (!selectionOnly)
        return rtf::RtfWriter::write(*document());
    const QTextCursor cursor = textCursor();
    return rtf::RtfWriter::write(*document(), cursor.selectionStart(), cursor.selectionEnd());
}

void RichEdit::insertRtf(const QByteArray &rtf)
{
    if (!insertRtf(rtf, -1))
        throw AppError(failedToLoad());
}

bool RichEdit::insertRtf(const QByteArray &rtf, int maxParagraphs)
{
    QTextDocument scratch;
    scratch.setDefaultFont(document()->defaultFont());
    scratch.setUndoRedoEnabled(false);
    if (!holdsRtf(rtf) || !rtf::RtfReader::read(rtf, scratch, nullptr, maxParagraphs))
        return false;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock target = cursor.block();
    const bool intoEmptyBlock = target.length() == 1;
    cursor.insertFragment(QTextDocumentFragment(&scratch));
    // The pasted first paragraph brings its paragraph format when it is pasted
    // whole: into an empty paragraph, or with the end of that paragraph.
    if (intoEmptyBlock || scratch.blockCount() > 1) {
        const QTextBlock first = scratch.firstBlock();
        QTextBlockFormat format = first.blockFormat();
        format.setObjectIndex(-1);
        QTextCursor c(target);
        c.setBlockFormat(format);
        if (first.textList() && !target.textList())
            c.createList(first.textList()->format());
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    return true;
}

// --- Attributes ----------------------------------------------------------------

CharAttributes RichEdit::selAttributes() const
{
    const QTextCursor cursor = textCursor();
    QTextCharFormat format;
    if (cursor.hasSelection()) {
        // The attributes of the selection's first character.
        QTextCursor first(document());
        first.setPosition(cursor.selectionStart() + 1);
        format = first.charFormat();
    } else {
        format = currentCharFormat();
    }
    const QFont docFont = document()->defaultFont();
    CharAttributes a;
    const QStringList families = format.fontFamilies().toStringList();
    a.face =
        (!families.isEmpty() && !families.first().isEmpty()) ? families.first() : docFont.family();
    a.face.truncate(kMaxFaceLength);
    double points = format.fontPointSize();
    if (points <= 0 && format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 72.0 / 96.0;
    if (points <= 0)
        points = docFont.pointSizeF();
    a.size = int(std::floor(points + 1e-6)); // whole points, remainder dropped
    a.autoColor = format.foreground().style() == Qt::NoBrush;
    a.color = a.autoColor ? palette().color(QPalette::Text) : format.foreground().color();
    a.bold = format.fontWeight() >= QFont::DemiBold;
    a.italic = format.fontItalic();
    a.underline = format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline;
    a.strikeOut = format.fontStrikeOut();
    return a;
}

void RichEdit::setSelAttributes(const CharAttributes &attributes)
{
    setSelAttributes(attributes, CharAll);
}

void RichEdit::setSelAttributes(const CharAttributes &a, unsigned fields)
{
    QTextCharFormat format;
    if (fields & CharFace)
        format.setFontFamilies({a.face.left(kMaxFaceLength)});
    if ((fields & CharSize) && a.size > 0)
        format.setFontPointSize(std::min(a.size, 1638));
    if (fields & CharColor) {
        // The automatic colour is no brush at all: text is drawn in the palette's colour.
        format.setForeground(a.autoColor ? QBrush() : QBrush(a.color));
    }
    if (fields & CharStyle) {
        format.setFontWeight(a.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(a.italic);
        format.setFontUnderline(a.underline);
        format.setFontStrikeOut(a.strikeOut);
    }
    if (textCursor().hasSelection()) {
        QTextCursor cursor = textCursor();
        cursor.mergeCharFormat(format);
    } else {
        mergeCurrentCharFormat(format);
    }
}

ParaAlignment RichEdit::paraAlignment() const
{
    const QTextCursor cursor = textCursor();
    const Qt::Alignment align =
        document()->findBlock(cursor.selectionStart()).blockFormat().alignment();
    if (align & Qt::AlignHCenter)
        return ParaAlignment::Center;
    if (align & Qt::AlignJustify)
        return ParaAlignment::Justify;
    if (align & (Qt::AlignRight | Qt::AlignTrailing))
        return ParaAlignment::Right;
    return ParaAlignment::Left;
}

void RichEdit::setParaAlignment(ParaAlignment alignment)
{
    QTextBlockFormat format;
    switch (alignment) {
    case ParaAlignment::Left:
        format.setAlignment(Qt::AlignLeft);
        break;
    case ParaAlignment::Center:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case ParaAlignment::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case ParaAlignment::Justify:
        format.setAlignment(Qt::AlignJustify);
        break;
    }
    QTextCursor cursor = textCursor();
    cursor.mergeBlockFormat(format);
}

bool RichEdit::paraBullets() const
{
    return document()->findBlock(textCursor().selectionStart()).textList() != nullptr;
}

void RichEdit::setParaBullets(bool on)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    if (on) {
        QTextList *list = nullptr;
        forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
            if (!list && block.textList() &&
                block.textList()->format().style() == QTextListFormat::ListDisc)
                list = block.textList();
        });
        if (!list) {
            QTextListFormat format;
            format.setStyle(QTextListFormat::ListDisc);
            format.setIndent(1);
            list = cursor.createList(format);
        }
        forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
            if (block.textList() != list)
                list->add(block);
        });
    } else {
        forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
            if (!block.textList())
                return;
            QTextBlockFormat format = block.blockFormat();
            format.setObjectIndex(-1);
            format.clearProperty(QTextFormat::BlockIndent);
            QTextCursor c(block);
            c.setBlockFormat(format);
        });
    }
    cursor.endEditBlock();
}

double RichEdit::paraFirstIndentPt() const
{
    const QTextBlockFormat format =
        document()->findBlock(textCursor().selectionStart()).blockFormat();
    return (format.leftMargin() + format.textIndent()) / rtf::kPixelsPerPoint;
}

void RichEdit::setParaFirstIndentPt(double points)
{
    // The first line goes to `points`; the following lines keep their place
    // relative to it, so the whole paragraph moves.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
        QTextBlockFormat format = block.blockFormat();
        format.setLeftMargin(points * rtf::kPixelsPerPoint - format.textIndent());
        QTextCursor c(block);
        c.setBlockFormat(format);
    });
    cursor.endEditBlock();
}

// --- Paragraphs --------------------------------------------------------------------

int RichEdit::paragraphCount() const
{
    return document()->blockCount();
}

QString RichEdit::paragraph(int index) const
{
    const QTextBlock block = document()->findBlockByNumber(index);
    if (!block.isValid())
        return {};
    QString text = block.text();
    text.replace(QChar::LineSeparator, u'\n');
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

void RichEdit::insertParagraph(int index, const QString &text)
{
    if (index >= paragraphCount()) {
        appendParagraph(text);
        return;
    }
    QTextCursor cursor(document()->findBlockByNumber(std::max(0, index)));
    cursor.beginEditBlock();
    cursor.insertText(normalizeLineEnds(text));
    cursor.insertBlock();
    cursor.endEditBlock();
}

void RichEdit::appendParagraph(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (!document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(normalizeLineEnds(text));
    cursor.endEditBlock();
}

// --- Displayed lines -----------------------------------------------------------------

void RichEdit::invalidateLines() const
{
    m_linesValid = false;
}

void RichEdit::ensureLineIndex() const
{
    if (m_linesValid)
        return;
    QTextDocument *doc = document();
    // Lays out the whole document, so that every block knows its lines.
    doc->documentLayout()->blockBoundingRect(doc->lastBlock());
    m_firstLine.clear();
    m_firstLine.reserve(size_t(doc->blockCount()));
    int total = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        m_firstLine.push_back(total);
        const QTextLayout *layout = block.layout();
        total += std::max(1, layout ? layout->lineCount() : 1);
    }
    m_lineTotal = total;
    m_linesValid = true;
}

RichEdit::LineRef RichEdit::lineRef(int index) const
{
    ensureLineIndex();
    if (index < 0 || index >= m_lineTotal)
        return {-1, -1};
    const auto it = std::upper_bound(m_firstLine.begin(), m_firstLine.end(), index);
    const int block = int(it - m_firstLine.begin()) - 1;
    return {block, index - m_firstLine[size_t(block)]};
}

int RichEdit::lineCount() const
{
    ensureLineIndex();
    return m_lineTotal;
}

QString RichEdit::line(int index) const
{
    const LineRef ref = lineRef(index);
    if (ref.block < 0)
        return {};
    const QTextBlock block = document()->findBlockByNumber(ref.block);
    const QTextLayout *layout = block.layout();
    if (!layout || ref.line >= layout->lineCount())
        return block.text();
    return lineTextOf(block, layout->lineAt(ref.line));
}

int RichEdit::lineStart(int index) const
{
    const LineRef ref = lineRef(index);
    if (ref.block < 0)
        return -1;
    const QTextBlock block = document()->findBlockByNumber(ref.block);
    const QTextLayout *layout = block.layout();
    if (!layout || ref.line >= layout->lineCount())
        return block.position();
    return block.position() + layout->lineAt(ref.line).textStart();
}

void RichEdit::replaceLine(int index, const QString &text)
{
    const int start = lineStart(index);
    if (start < 0)
        return;
    const QString old = line(index);
    // Replace only what differs, so the formatting of the unchanged part stays.
    qsizetype prefix = 0;
    while (prefix < old.size() && prefix < text.size() && old[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < old.size() - prefix && suffix < text.size() - prefix &&
           old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    QTextCursor cursor(document());
    cursor.setPosition(start + int(prefix));
    cursor.setPosition(start + int(old.size() - suffix), QTextCursor::KeepAnchor);
    const QString middle = text.mid(prefix, text.size() - prefix - suffix);
    if (!cursor.hasSelection() && middle.isEmpty())
        return;
    if (cursor.hasSelection()) {
        // New text takes the format of the first character it replaces.
        QTextCursor first(document());
        first.setPosition(cursor.selectionStart() + 1);
        cursor.insertText(middle, first.charFormat());
    } else {
        cursor.insertText(middle);
    }
}

// --- Page rendering ---------------------------------------------------------------------

int RichEdit::textLength() const
{
    return document()->characterCount() - 1;
}

void RichEdit::releaseFormatCache()
{
    m_pages.reset();
}

int RichEdit::formatRange(QPaintDevice *device, int start, const QRect &targetTwips, bool render)
{
    if (!device || start < 0 || targetTwips.width() <= 0 || targetTwips.height() <= 0)
        return -1;
    const int length = textLength();
    if (start >= length)
        return length;
    const int dpiX = device->logicalDpiX();
    const int dpiY = device->logicalDpiY();
    if (dpiX <= 0 || dpiY <= 0)
        return -1;
    const auto toPx = [](int twips, int dpi) {
        return int(std::lround(twips * double(dpi) / 1440));
    };
    const QRect target(toPx(targetTwips.left(), dpiX), toPx(targetTwips.top(), dpiY),
                       toPx(targetTwips.width(), dpiX), toPx(targetTwips.height(), dpiY));
    if (target.width() <= 0 || target.height() <= 0)
        return -1;

    if (!m_pages || !m_pages->fits(device, target.width()))
        m_pages = std::make_unique<PrintLayout>(*document(), device, target.width());
    const PrintLayout::Page page = m_pages->page(start, target.height());
    if (render) {
        QPainter own;
        QPainter *painter = nullptr;
        if (device->paintingActive() && device->paintEngine())
            painter = device->paintEngine()->painter();
        if (!painter) {
            if (!own.begin(device))
                return -1;
            painter = &own;
        }
        m_pages->draw(painter, page, target.topLeft(), target.width(), target.height());
    }
    return page.next;
}

} // namespace platform
