#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

#include <functional>

// Which folders of a long path stay visible: drFromLeft keeps those nearest
// the file name, drFromRight those nearest the drive.
enum TDirection { drFromLeft, drFromRight };

// A path split at its separator: every piece, the last one being the file
// name, and whether the first piece is a drive ("C:").
struct FilePathParts {
    QStringList parts;
    bool drive = false;
};

// Splits `fileName` at each whole occurrence of `separator`; an empty
// separator is never found, so the whole name is one piece.
FilePathParts splitFilePath(const QString &fileName, const QString &separator);

// The text that shows `fileName` in `width` pixels: the whole path when it
// fits, otherwise the file name with as many folders as fit and "..." in
// place of the others. `measure` gives a piece's width in pixels. A
// direction that is neither of the two, once shortening reaches the folders,
// gives `previous` back unchanged.
QString fileLabelCaption(const QString &fileName, const QString &separator,
                         const FilePathParts &split, int direction, int width,
                         const std::function<int(const QString &)> &measure,
                         const QString &previous = {});

// A one-line label showing a file path, shortened in its middle when it is
// wider than the label. Its text follows the three properties and the
// label's geometry; users set only the properties.
class TFileLabel : public QLabel {
    Q_OBJECT
public:
    explicit TFileLabel(QWidget *parent = nullptr);

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &fileName);
    QString Separator() const { return m_separator; }
    void setSeparator(const QString &separator);
    int Direction() const { return m_direction; }
    // Values other than the two directions are kept but leave the text as it was.
    void setDirection(int direction);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void split();
    void updateCaption();

    QString m_fileName;
    QString m_separator = QStringLiteral("\\");
    int m_direction = drFromLeft;
    FilePathParts m_split;
};
