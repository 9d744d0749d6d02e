#pragma once

#include <QObject>
#include <QString>

class QFileDialog;
class QImage;
class QWidget;
class TEditScreen;

// The image editor's two file dialogs, one of each for the whole run so they
// keep their folder and filter, and the commands around them: opening a
// picture into the editor and writing the picture under a name chosen in the
// save dialog.
class PictureFileDialogs : public QObject {
    Q_OBJECT
public:
    explicit PictureFileDialogs(QWidget *parent);

    // File dialogs are costly to make and most runs never use them, so they
    // are made on first use.
    QFileDialog *OpenDialog1();
    QFileDialog *SaveDialog1();

    // Runs the open dialog and replaces the editor's picture with the chosen
    // file; does nothing on cancel. Errors are thrown with the user's message
    // and leave the picture as it was.
    void Open(TEditScreen &editor);

    // Runs the save dialog until the user names a file in an existing folder
    // (and agrees to create it when it does not exist yet) or cancels; returns
    // the name, or an empty string on cancel.
    QString askSaveName();

    // After a save is confirmed: with the GIF or JPG filter chosen, that
    // extension becomes the default for names typed without one.
    void updateDefaultExtension();

    // The save dialog's filter index, 1-based.
    int saveFilterIndex() const;

    // Writes the picture under fileName with the writer that the name and the
    // save dialog's filter choose. A wait cursor shows while it writes; the
    // arrow comes back whether the write succeeds or throws.
    void write(const QImage &picture, const QString &fileName);

private:
    QWidget *m_parent;
    QFileDialog *m_openDialog = nullptr;
    QFileDialog *m_saveDialog = nullptr;
};

extern PictureFileDialogs *PictureDialogs;
