#pragma once

#include <QString>

class QFileDialog;

// Types `name` (a name in the dialog's folder, or a whole path) into a file
// dialog's name field as a user would, so that the dialog takes that name and
// nothing else: the field's completer is removed (its popup, shown once the
// folder has been read in the background, would take the Return meant for the
// dialog), and the list's selection is cleared (a file still selected there
// from the dialog's last use wins over a typed name while the field lacks the
// keyboard focus, which depends on when the window manager activates the
// dialog).
void typeFileName(QFileDialog *dialog, const QString &name);
