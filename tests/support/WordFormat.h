#pragma once

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

// The character format in the middle of the first occurrence of `word` in
// `document`; an invalid format when the word is not there.
inline QTextCharFormat formatOfWord(QTextDocument *document, const QString &word)
{
    const QTextCursor found = document->find(word);
    if (found.isNull())
        return {};
    QTextCursor inside(document);
    inside.setPosition(found.selectionStart() + 1);
    return inside.charFormat();
}
