#include "PdfText.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <pwd.h>
#include <unistd.h>

namespace PdfText {

namespace {

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

} // namespace

QString info(const QString &file, const QString &field)
{
    const QString out = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {file}));
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    return line.match(out).captured(1).trimmed();
}

int pageCount(const QString &file)
{
    bool ok = false;
    const int n = info(file, QStringLiteral("Pages")).toInt(&ok);
    return ok ? n : -1;
}

QStringList pages(const QString &file)
{
    // pdftotext ends every page with a form feed.
    QString all = QString::fromUtf8(run(QStringLiteral("pdftotext"), {file, QStringLiteral("-")}));
    QStringList result = all.split(QLatin1Char('\f'));
    if (!result.isEmpty() && result.last().trimmed().isEmpty())
        result.removeLast();
    return result;
}

QList<Word> words(const QString &file)
{
    const QByteArray html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    QList<Word> result;
    QXmlStreamReader xml(html);
    int page = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            ++page;
        } else if (xml.name() == QLatin1String("word")) {
            const auto a = xml.attributes();
            const double x0 = a.value(QLatin1String("xMin")).toDouble();
            const double y0 = a.value(QLatin1String("yMin")).toDouble();
            const double x1 = a.value(QLatin1String("xMax")).toDouble();
            const double y1 = a.value(QLatin1String("yMax")).toDouble();
            result.append({page, xml.readElementText(), QRectF(QPointF(x0, y0), QPointF(x1, y1))});
        }
    }
    return result;
}

QList<Line> lines(const QString &file)
{
    QList<Line> result;
    QHash<QString, std::pair<QString, int>> fonts; // id: family, size
    QXmlStreamReader xml(
        run(QStringLiteral("pdftohtml"),
            {QStringLiteral("-xml"), QStringLiteral("-i"), QStringLiteral("-stdout"),
             QStringLiteral("-zoom"), QStringLiteral("1"), file}));
    int page = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        auto number = [&a](const char *name) { return a.value(QLatin1String(name)).toInt(); };
        if (xml.name() == QLatin1String("page")) {
            page = number("number");
        } else if (xml.name() == QLatin1String("fontspec")) {
            fonts.insert(a.value(QLatin1String("id")).toString(),
                         {a.value(QLatin1String("family")).toString(), number("size")});
        } else if (xml.name() == QLatin1String("text")) {
            Line line;
            line.page = page;
            line.box = QRectF(number("left"), number("top"), number("width"), number("height"));
            const auto font = fonts.value(a.value(QLatin1String("font")).toString());
            line.fontFamily = font.first;
            line.fontSize = font.second;
            line.text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            result.append(line);
        }
    }
    return result;
}

QList<Image> images(const QString &file)
{
    // Two heading lines, then "page num type width height color comp bpc enc
    // interp object ID x-ppi y-ppi size ratio".
    const QList<QByteArray> rows =
        run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file}).trimmed().split('\n');
    QList<Image> result;
    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QList<QByteArray> f = rows[i].simplified().split(' ');
        if (f.size() < 14 || f.value(2) != "image")
            continue; // soft masks and stencils are not pictures of their own
        result.append({f[0].toInt(), QSize(f[3].toInt(), f[4].toInt()), QString::fromLatin1(f[5]),
                       f[12].toInt(), f[13].toInt()});
    }
    return result;
}

QList<QImage> extractImages(const QString &file, const QString &folder)
{
    const QString prefix = QDir(folder).filePath(QStringLiteral("img"));
    QProcess process;
    process.start(QStringLiteral("pdfimages"), {QStringLiteral("-png"), file, prefix});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    QList<QImage> result;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("img-*.png")}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        result.append(QImage(QDir(folder).filePath(name)));
    return result;
}

QString describe(const QRect &rect)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

int colourCount(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

QRect inkBox(const QString &file, int dpi, int fromY)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
                   QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
                   QStringLiteral("-l"), QStringLiteral("1"), file, base});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    // Binary PGM: "P5", width, height, maximum value, then one byte a pixel.
    QFile pgm(base + QStringLiteral(".pgm"));
    if (!pgm.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = pgm.readAll();
    const QList<QByteArray> head = bytes.left(64).simplified().split(' ');
    const int width = head.value(1).toInt();
    const int height = head.value(2).toInt();
    const qsizetype start = bytes.size() - qsizetype(width) * height;
    if (head.value(0) != "P5" || width <= 0 || height <= 0 || start <= 0)
        return {};
    QRect box;
    for (int y = qMax(0, fromY); y < height; ++y) {
        const auto *row =
            reinterpret_cast<const uchar *>(bytes.constData() + start) + qsizetype(y) * width;
        int left = -1, right = -1;
        for (int x = 0; x < width; ++x) {
            if (row[x] < 240) {
                if (left < 0)
                    left = x;
                right = x;
            }
        }
        if (left >= 0)
            box |= QRect(left, y, right - left + 1, 1);
    }
    return box;
}

QString queueOutputFolder()
{
    const passwd *user = getpwuid(getuid());
    return user ? QString::fromLocal8Bit(user->pw_dir) + QStringLiteral("/PDF") : QString();
}

QStringList pdfsNewerThan(const QString &folder, const QDateTime &since)
{
    QStringList found;
    for (const QFileInfo &f : QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
        if (f.lastModified() >= since)
            found << f.absoluteFilePath();
    return found;
}

} // namespace PdfText
