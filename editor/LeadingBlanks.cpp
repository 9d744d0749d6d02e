#include "LeadingBlanks.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

qsizetype leadingBlankCount(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text.at(n).unicode() <= 32)
        ++n;
    return n;
}

void removeLeadingBlanks(QTextDocument *document)
{
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const qsizetype n = leadingBlankCount(block.text());
        if (n == 0)
            continue;
        edit.setPosition(block.position());
        edit.setPosition(block.position() + static_cast<int>(n), QTextCursor::KeepAnchor);
        edit.removeSelectedText();
    }
    edit.endEditBlock();
}
