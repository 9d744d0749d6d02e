#pragma once

#include <QStringView>

class QTextDocument;

// Leading blanks are the characters of code 32 or below (blanks, tabs and
// other control characters) at the start of a line.

// How many leading blanks `text` starts with.
qsizetype leadingBlankCount(QStringView text);

// Removes the leading blanks of every paragraph of `document` as one undo
// step. The rest of each paragraph keeps its formatting.
void removeLeadingBlanks(QTextDocument *document);
