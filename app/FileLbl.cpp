#include "FileLbl.h"

#include <QFontMetrics>

FilePathParts splitFilePath(const QString &fileName, const QString &separator)
{
    FilePathParts result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = separator.isEmpty() ? -1 : fileName.indexOf(separator, from);
        if (at < 0) {
            result.parts << fileName.mid(from);
            break;
        }
        result.parts << fileName.mid(from, at - from);
        from = at + separator.size();
    }
    const QString &first = result.parts.constFirst();
    result.drive = first.size() > 1 && first.endsWith(u':');
    return result;
}

QString fileLabelCaption(const QString &fileName, const QString &separator,
                         const FilePathParts &split, int direction, int width,
                         const std::function<int(const QString &)> &measure,
                         const QString &previous)
{
    if (fileName.isEmpty())
        return {};
    if (measure(fileName) <= width)
        return fileName;
    const QString elision = QStringLiteral("...") + separator;
    const QString &name = split.parts.constLast();
    int used = measure(name) + measure(elision);
    // A piece that would reach the label's width is refused here; the
    // folders below are taken as long as the total does not exceed it.
    if (used >= width)
        return name;
    QString drive;
    qsizetype first = 0;
    if (split.drive) {
        drive = split.parts.constFirst() + separator;
        first = 1;
    }
    if (measure(drive) + used >= width)
        return elision + name;
    used += measure(drive);
    const qsizetype last = split.parts.size() - 2;
    QString folders;
    if (direction == drFromLeft) {
        for (qsizetype i = last; i >= first; --i) {
            const QString candidate = split.parts.at(i) + separator + folders;
            if (used + measure(candidate) > width)
                break;
            folders = candidate;
        }
        return drive + elision + folders + name;
    }
    if (direction != drFromRight)
        return previous;
    for (qsizetype i = first; i <= last; ++i) {
        const QString candidate = folders + split.parts.at(i) + separator;
        if (used + measure(candidate) > width)
            break;
        folders = candidate;
    }
    return drive + folders + elision + name;
}

TFileLabel::TFileLabel(QWidget *parent) : QLabel(parent)
{
    setWordWrap(false);
    // A path is shown as it is, never read as markup.
    setTextFormat(Qt::PlainText);
    split();
}

void TFileLabel::setFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_fileName = fileName;
    split();
    updateCaption();
}

void TFileLabel::setSeparator(const QString &separator)
{
    if (separator == m_separator)
        return;
    m_separator = separator;
    split();
    updateCaption();
}

void TFileLabel::setDirection(int direction)
{
    if (direction == m_direction)
        return;
    m_direction = direction;
    updateCaption();
}

void TFileLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateCaption();
}

void TFileLabel::moveEvent(QMoveEvent *event)
{
    QLabel::moveEvent(event);
    updateCaption();
}

void TFileLabel::split()
{
    m_split = splitFilePath(m_fileName, m_separator);
}

void TFileLabel::updateCaption()
{
    const QFontMetrics metrics = fontMetrics();
    setText(fileLabelCaption(
        m_fileName, m_separator, m_split, m_direction, width(),
        [&metrics](const QString &piece) { return metrics.horizontalAdvance(piece); }, text()));
}
