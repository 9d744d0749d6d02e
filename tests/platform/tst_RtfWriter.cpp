#include "TextRuns.h"
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

using platform::rtf::RtfReader;
using platform::rtf::RtfWriter;
using namespace TextRuns;

namespace {

struct Span {
    QString text;
    QString face;
    double points;
    QColor color; // invalid: the automatic colour
    QString style;
};

void addParagraph(QTextCursor &c, const QList<Span> &spans, Qt::Alignment align = Qt::AlignLeft,
                  double firstPx = 0, double leftPx = 0, bool bullet = false, bool first = false)
{
    QTextBlockFormat bf;
    bf.setAlignment(align);
    bf.setTextIndent(firstPx);
    bf.setLeftMargin(leftPx);
    if (first)
        c.setBlockFormat(bf);
    else
        c.insertBlock(bf);
    if (bullet) {
        QTextBlock prev = c.block().previous();
        if (prev.isValid() && prev.textList())
            prev.textList()->add(c.block());
        else
            c.createList(QTextListFormat::ListDisc);
    }
    for (const Span &s : spans) {
        QTextCharFormat f;
        f.setFontFamilies({s.face});
        f.setFontPointSize(s.points);
        if (s.color.isValid())
            f.setForeground(s.color);
        f.setFontWeight(s.style.contains(u'b') ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.style.contains(u'i'));
        f.setFontUnderline(s.style.contains(u'u'));
        f.setFontStrikeOut(s.style.contains(u's'));
        c.insertText(s.text, f);
    }
}

// A document that uses every attribute the RTF streams carry.
void buildSample(QTextDocument &doc)
{
    QTextCursor c(&doc);
    const QString serif("Liberation Serif"), sans("Liberation Sans"), mono("DejaVu Sans Mono");
    addParagraph(c,
                 {{"Plain ", serif, 12, {}, ""},
                  {"bold ", serif, 12, {}, "b"},
                  {"italic ", serif, 12, {}, "i"},
                  {"underline ", serif, 12, {}, "u"},
                  {"strike ", serif, 12, {}, "s"},
                  {"all", serif, 12, {}, "bius"}},
                 Qt::AlignLeft, 0, 0, false, true);
    addParagraph(c, {{"Red centred", sans, 18, QColor(255, 0, 0), ""}}, Qt::AlignHCenter);
    addParagraph(c, {{"Right 10.5 pt blue", mono, 10.5, QColor(0, 0, 200), "b"}}, Qt::AlignRight);
    addParagraph(c, {{"Justified text\twith a tab\u2028and a line break", serif, 12, {}, ""}},
                 Qt::AlignJustify);
    addParagraph(c, {{"Hanging indent", serif, 12, {}, ""}}, Qt::AlignLeft, -24, 96);
    addParagraph(c, {{"First-line indent", serif, 12, {}, ""}}, Qt::AlignLeft, 48, 0);
    addParagraph(c, {{"Bullet one", sans, 11, {}, ""}}, Qt::AlignLeft, 0, 0, true);
    addParagraph(c, {{"Bullet two", sans, 11, QColor(0, 128, 0), "i"}}, Qt::AlignLeft, 0, 48, true);
    addParagraph(c, {}, Qt::AlignLeft);
    addParagraph(
        c, {{"Specials {braces} \\back\\ café € “q” αβγ 漢字 😀 \u00a0nbsp", serif, 12, {}, ""}});
    addParagraph(c, {{"Last", sans, 8, QColor(1, 2, 3), "u"}});
    // Spacing and a right indent on the first-line indent paragraph.
    const QTextBlock spaced = doc.findBlockByNumber(5);
    QTextBlockFormat format = spaced.blockFormat();
    format.setTopMargin(8);
    format.setBottomMargin(16);
    format.setRightMargin(24);
    QTextCursor(spaced).setBlockFormat(format);
}

QList<Paragraph> reread(const QByteArray &rtf)
{
    QTextDocument doc;
    if (!RtfReader::read(rtf, doc))
        qWarning("the reader failed");
    return TextRuns::of(doc);
}

} // namespace

class tst_RtfWriter : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void roundTripRange_data();
    void roundTripRange();
    void header();
    void escapes_data();
    void escapes();
    void libreOfficeReadsOurOutput();
};

void tst_RtfWriter::roundTrip()
{
    QTextDocument doc;
    buildSample(doc);
    const QList<Paragraph> expected = TextRuns::of(doc);
    const QList<Paragraph> actual = reread(RtfWriter::write(doc));
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(actual[i], expected[i]);
}

void tst_RtfWriter::roundTripRange_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("paragraphs");

    QTest::newRow("inside one paragraph") << "bold"
                                          << "italic" << QStringList{"bold italic"};
    QTest::newRow("across paragraphs") << "all"
                                       << "Red" << QStringList{"all", "Red"};
    QTest::newRow("up to a paragraph end") << "Red"
                                           << "Right" << QStringList{"Red centred", ""};
}

void tst_RtfWriter::roundTripRange()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, paragraphs);
    QTextDocument doc;
    buildSample(doc);
    const QString text = doc.toRawText();
    const int start = int(text.indexOf(from));
    const int end =
        int(text.indexOf(to) +
            (QTest::currentDataTag() == QLatin1String("up to a paragraph end") ? 0 : to.size()));
    QStringList texts;
    for (const Paragraph &p : reread(RtfWriter::write(doc, start, end)))
        texts << p.text();
    QCOMPARE(texts, paragraphs);
}

void tst_RtfWriter::header()
{
    QTextDocument doc;
    buildSample(doc);
    const QByteArray rtf = RtfWriter::write(doc);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    QVERIFY(rtf.contains("{\\fonttbl{\\f0"));
    QVERIFY(rtf.contains("\\fnil\\fcharset0 Liberation Serif;}"));
    QVERIFY(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;"));
    QVERIFY(rtf.contains("\\ftech\\fcharset2 Symbol;"));
    QVERIFY(rtf.trimmed().endsWith('}'));
    // Only ASCII: everything else is escaped.
    for (const char ch : rtf)
        QVERIFY(static_cast<unsigned char>(ch) < 0x80);
}

void tst_RtfWriter::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("braces") << "{x}" << QByteArray("\\{x\\}");
    QTest::newRow("backslash") << "a\\b" << QByteArray("a\\\\b");
    QTest::newRow("latin-1") << "é" << QByteArray("\\'e9");
    QTest::newRow("1252 only") << "€" << QByteArray("\\'80");
    QTest::newRow("greek") << "α" << QByteArray("\\u945?");
    QTest::newRow("above 0x7fff") << "\uff01" << QByteArray("\\u-255?");
    QTest::newRow("surrogate pair") << "😀" << QByteArray("\\u-10179?\\u-8704?");
    QTest::newRow("tab") << "a\tb" << QByteArray("a\\tab b");
    QTest::newRow("line break") << "a\u2028b" << QByteArray("a\\line b");
    QTest::newRow("nbsp") << "a\u00a0b" << QByteArray("a\\~b");
}

void tst_RtfWriter::escapes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QTextDocument doc;
    doc.setPlainText(text);
    const QByteArray rtf = RtfWriter::write(doc);
    QVERIFY2(rtf.contains(expected), rtf.constData());
    QTextDocument back;
    QVERIFY(RtfReader::read(rtf, back));
    QCOMPARE(back.toRawText(), text);
}

// LibreOffice Writer opens our RTF and saves it again as its own RTF; read
// back, that has the same text and attributes as our document.
void tst_RtfWriter::libreOfficeReadsOurOutput()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed; install libreoffice-writer to run "
              "this check");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QTextDocument doc;
    buildSample(doc);
    const QString ours = dir.filePath(QStringLiteral("ours.rtf"));
    {
        QFile f(ours);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(RtfWriter::write(doc));
    }
    QProcess lo;
    lo.setWorkingDirectory(dir.path());
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    lo.start(soffice,
             {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
              QStringLiteral("--convert-to"), QStringLiteral("rtf:Rich Text Format"),
              QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out")), ours});
    QVERIFY(lo.waitForFinished(120000));
    QFile back(dir.filePath(QStringLiteral("out/ours.rtf")));
    QVERIFY2(back.open(QIODevice::ReadOnly), lo.readAllStandardError().constData());
    const QByteArray theirs = back.readAll();
    QVERIFY(theirs.contains("LibreOffice"));

    const QList<Paragraph> expected = TextRuns::of(doc);
    const QList<Paragraph> actual = reread(theirs);
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(actual[i], expected[i]);
}

QTEST_MAIN(tst_RtfWriter)
#include "tst_RtfWriter.moc"
