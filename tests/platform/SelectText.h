#pragma once

#include <QTextCursor>
#include <QTextEdit>

// Selects the characters [from, to) of a text control, as a user dragging over them would.
inline void select(QTextEdit &edit, int from, int to)
{
    QTextCursor c(edit.document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    edit.setTextCursor(c);
}
