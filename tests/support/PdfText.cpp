#include "PdfText.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
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
