#pragma once

#include <QDateTime>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

// Reads printed PDF files back with poppler's command-line tools.
namespace PdfText {

// One word as pdftotext -bbox places it, in points from the page's top-left.
struct Word {
    int page = 0; // from 1
    QString text;
    QRectF box;
};

// One line of text as pdftohtml places it (points from the page's top-left,
// whole points), with the font it is set in.
struct Line {
    int page = 0; // from 1
    QString text;
    QRectF box;
    QString fontFamily; // without spaces, as embedded ("LiberationMono")
    int fontSize = 0;   // points, rounded
};

// A field of pdfinfo ("Pages", "Title", "Page size"); empty when it fails.
QString info(const QString &file, const QString &field);
int pageCount(const QString &file);
// The text of each page, in order.
QStringList pages(const QString &file);
// Every word with its box.
QList<Word> words(const QString &file);
// Every line of text with its box and font.
QList<Line> lines(const QString &file);

// The folder the test print queue (cups-pdf) writes into: the PDF folder of
// the submitting user's home directory, as the password database has it
// (not the session's HOME).
QString queueOutputFolder();
// The PDF files in `folder` last modified at or after `since`.
QStringList pdfsNewerThan(const QString &folder, const QDateTime &since);

} // namespace PdfText
