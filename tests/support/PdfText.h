#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QRect>
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

// One embedded image as pdfimages -list reports it.
struct Image {
    int page = 0;
    QSize size;     // the image's own pixels
    QString colour; // the colour space ("rgb", "index", "gray", ...)
    int xPpi = 0;   // its pixels per inch on the page, rounded
    int yPpi = 0;
};
QList<Image> images(const QString &file);
// The embedded images extracted as PNG files into `folder`, loaded in order.
QList<QImage> extractImages(const QString &file, const QString &folder);
// "x,y wxh", for failure messages.
QString describe(const QRect &rect);
// The number of distinct colours in an image.
int colourCount(const QImage &image);
// The first page rendered in grey at `dpi`: the box of its non-white pixels
// (in pixels from the paper's top-left corner) at or below the row `fromY`;
// an empty box when nothing is drawn there or poppler fails.
QRect inkBox(const QString &file, int dpi, int fromY = 0);
// The folder the test print queue (cups-pdf) writes into: the PDF folder of
// the submitting user's home directory, as the password database has it
// (not the session's HOME).
QString queueOutputFolder();
// The PDF files in `folder` last modified at or after `since`.
QStringList pdfsNewerThan(const QString &folder, const QDateTime &since);

} // namespace PdfText
