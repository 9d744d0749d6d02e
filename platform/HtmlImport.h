#pragma once

#include <QByteArray>
#include <QString>
#include <QTextCharFormat>
#include <QTextDocumentFragment>

#include <optional>

namespace platform {

// Reads HTML as web browsers put it on the clipboard into rich text the control
// can hold, in one pass over the input.
//
// Whatever the HTML leaves open comes from `base`, the character format at the
// insertion point: text without a family or size takes the base face and size,
// and relative sizes (headings, <big>, <small>, em, %, larger, x-large and the
// other keywords) are worked out from it. Every run of the result carries a
// face and a whole point size. Line breaks and blocks become line and
// paragraph breaks, bulleted lists bullets, numbered lists numbers as text,
// table rows tab-separated lines; images, scripts and styles are dropped.
class HtmlImport {
public:
    // The text of HTML bytes: UTF-16 (with or without a byte-order mark), the
    // charset the document declares, else UTF-8 when valid, else Windows-1252.
    static QString decode(const QByteArray &bytes);

    // `base` must give a font family and a point size.
    static QTextDocumentFragment fragment(const QString &html, const QTextCharFormat &base);
    static QTextDocumentFragment fragment(const QByteArray &html, const QTextCharFormat &base)
    {
        return fragment(decode(html), base);
    }
    // As fragment(), but nothing when the HTML makes more than `maxParagraphs`
    // paragraphs; the reading stops there.
    static std::optional<QTextDocumentFragment>
    boundedFragment(const QString &html, const QTextCharFormat &base, int maxParagraphs);
};

} // namespace platform
