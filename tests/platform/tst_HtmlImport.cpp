// HTML as browsers put it on the clipboard, read against a base font of
// Times New Roman 12 at the insertion point.
#include "TextRuns.h"
#include "platform/HtmlImport.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QStringEncoder>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using platform::HtmlImport;

namespace {

const QString kBaseFace = QStringLiteral("Times New Roman");

QTextCharFormat baseFormat()
{
    QTextCharFormat f;
    f.setFontFamilies(QStringList{kBaseFace});
    f.setFontPointSize(12);
    return f;
}

QByteArray fixture(const QString &name)
{
    QFile f(QStringLiteral(FIXTURES "/browser/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return f.readAll();
}

// The document a paste into an empty control gives.
void paste(QTextDocument &doc, const QByteArray &html)
{
    QTextCursor cursor(&doc);
    cursor.insertFragment(HtmlImport::fragment(html, baseFormat()));
}

// Paragraphs as "text" lines, "* " before list items, "\n" for line breaks.
QString outline(const QTextDocument &doc)
{
    QStringList lines;
    for (const TextRuns::Paragraph &p : TextRuns::of(doc))
        lines << (p.bullet ? QStringLiteral("* ") : QString()) +
                     p.text().replace(QChar::LineSeparator, u'\n');
    return lines.join(u'|');
}

// The run holding the first occurrence of `word`.
TextRuns::Run runAt(const QTextDocument &doc, const QString &word)
{
    for (const TextRuns::Paragraph &p : TextRuns::of(doc)) {
        for (const TextRuns::Run &r : p.runs) {
            if (r.text.contains(word))
                return r;
        }
    }
    return {};
}

} // namespace

class tst_HtmlImport : public QObject {
    Q_OBJECT
private slots:
    void browserRuns_data();
    void browserRuns();
    void browserParagraphs_data();
    void browserParagraphs();
    void sizes_data();
    void sizes();
    void faces_data();
    void faces();
    void structure_data();
    void structure();
    void decode_data();
    void decode();
    void everyRunHasFaceAndWholeSize();
    void fuzzCorpusReads();
};

void tst_HtmlImport::browserRuns_data()
{
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("style"); // b, i, u

    for (const QString &browser : {QStringLiteral("firefox"), QStringLiteral("chromium")}) {
        const auto row = [&](const char *word, const QString &face, int points, const char *s) {
            QTest::addRow("%s %s", qPrintable(browser), word)
                << browser << QString::fromUtf8(word) << face << points << QString::fromUtf8(s);
        };
        row("Heading one", kBaseFace, 24, "b");
        row("Heading two", kBaseFace, 18, "b");
        row("Heading three", kBaseFace, 14, "b");
        row("Body with", kBaseFace, 12, "");
        row("bold", kBaseFace, 12, "b");
        row("italic", kBaseFace, 12, "i");
        row("underline", kBaseFace, 12, "u");
        row("a link", kBaseFace, 12, "");
        row("First bullet", kBaseFace, 12, "");
        row("Name", kBaseFace, 12, "b");
        row("Apples", kBaseFace, 12, "");
        row("Zürich", kBaseFace, 12, "");
        row("Styled span", QStringLiteral("Liberation Mono"), 14, "");
        row("after", kBaseFace, 12, "");
    }
}

void tst_HtmlImport::browserRuns()
{
    QFETCH(QString, browser);
    QFETCH(QString, word);
    QFETCH(QString, face);
    QFETCH(int, points);
    QFETCH(QString, style);
    QTextDocument doc;
    paste(doc, fixture(browser + QStringLiteral(".html")));
    const TextRuns::Run r = runAt(doc, word);
    QVERIFY2(!r.text.isEmpty(), qPrintable(outline(doc)));
    QCOMPARE(r.face, face);
    QCOMPARE(r.halfPoints, points * 2);
    QCOMPARE(r.bold, style.contains(u'b'));
    QCOMPARE(r.italic, style.contains(u'i'));
    QCOMPARE(r.underline, style.contains(u'u'));
}

void tst_HtmlImport::browserParagraphs_data()
{
    QTest::addColumn<QString>("browser");
    QTest::newRow("firefox") << QStringLiteral("firefox");
    QTest::newRow("chromium") << QStringLiteral("chromium");
}

void tst_HtmlImport::browserParagraphs()
{
    QFETCH(QString, browser);
    QTextDocument doc;
    paste(doc, fixture(browser + QStringLiteral(".html")));
    QCOMPARE(outline(doc),
             QStringLiteral("Heading one|Heading two|Heading three|"
                            "Body with bold, italic and underline words and a link.|"
                            "* First bullet|* Second bullet|1.\tFirst step|2.\tSecond step|"
                            "Name\tCount|Apples\t3|"
                            "Zürich café naïve – “quoted” 漢字\u00a0end|Styled span after"));
}

void tst_HtmlImport::sizes_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<int>("points"); // of the text "X"

    QTest::newRow("no size") << "<p>X</p>" << 12;
    QTest::newRow("blank after the text") << "<big>X </big>b" << 14;
    QTest::newRow("h1") << "<h1>X</h1>" << 24;
    QTest::newRow("h4") << "<h4>X</h4>" << 12;
    QTest::newRow("h6") << "<h6>X</h6>" << 8;
    QTest::newRow("h1 in 10pt") << "<div style='font-size:10pt'><h1>X</h1></div>" << 20;
    QTest::newRow("big") << "<big>X</big>" << 14;
    QTest::newRow("small") << "<small>X</small>" << 10;
    QTest::newRow("em") << "<span style='font-size:1.5em'>X</span>" << 18;
    QTest::newRow("em of em")
        << "<span style='font-size:2em'><b style='font-size:.5em'>X</b></span>" << 12;
    QTest::newRow("percent") << "<span style='font-size:150%'>X</span>" << 18;
    QTest::newRow("larger") << "<span style='font-size:larger'>X</span>" << 14;
    QTest::newRow("x-large") << "<span style=\"font-size: x-large\">X</span>" << 18;
    QTest::newRow("medium") << "<span style='font-size:medium'>X</span>" << 12;
    QTest::newRow("xx-small") << "<span style='font-size:xx-small'>X</span>" << 7;
    QTest::newRow("pt") << "<span style='font-size:9pt'>X</span>" << 9;
    QTest::newRow("fractional pt") << "<span style='font-size:10.6pt'>X</span>" << 11;
    QTest::newRow("px") << "<span style='font-size:32px'>X</span>" << 24;
    QTest::newRow("fractional px") << "<span style='font-size:18.6667px'>X</span>" << 14;
    QTest::newRow("rem in h1") << "<h1><span style='font-size:1rem'>X</span></h1>" << 12;
    QTest::newRow("font size=7") << "<font size=7>X</font>" << 36;
    QTest::newRow("font size=+1") << "<font size=+1>X</font>" << 14;
    QTest::newRow("important") << "<span style='font-size:20pt !important'>X</span>" << 20;
    QTest::newRow("bad value kept parent")
        << "<h2><span style='font-size:huge'>X</span></h2>" << 18;
    QTest::newRow("negative ignored") << "<span style='font-size:-3pt'>X</span>" << 12;
    QTest::newRow("huge clamped") << "<span style='font-size:5000pt'>X</span>" << 1638;
    QTest::newRow("tiny clamped") << "<span style='font-size:0.01pt'>X</span>" << 1;
}

void tst_HtmlImport::sizes()
{
    QFETCH(QString, html);
    QFETCH(int, points);
    QTextDocument doc;
    paste(doc, html.toUtf8());
    const TextRuns::Run r = runAt(doc, QStringLiteral("X"));
    QCOMPARE(r.halfPoints, points * 2);
    // A blank after X is drawn at X's size, whatever follows it.
    if (doc.toPlainText().contains(QLatin1String("X ")))
        QVERIFY2(r.text.contains(QLatin1String("X ")), qPrintable(r.text));
}

void tst_HtmlImport::faces_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("face"); // "mono": an installed fixed-pitch face

    QTest::newRow("none") << "<p>X</p>" << kBaseFace;
    QTest::newRow("installed") << "<p style='font-family:\"Liberation Sans\"'>X</p>"
                               << "Liberation Sans";
    QTest::newRow("first installed of list")
        << "<p style=\"font-family: NoSuchFace, 'DejaVu Serif', serif\">X</p>"
        << "DejaVu Serif";
    QTest::newRow("base face named")
        << "<p style='font-family:\"times new roman\"'>X</p>" << kBaseFace;
    QTest::newRow("generic monospace") << "<p style='font-family:monospace'>X</p>"
                                       << "mono";
    QTest::newRow("code") << "<code>X</code>"
                          << "mono";
    QTest::newRow("pre") << "<pre>X</pre>"
                         << "mono";
    QTest::newRow("font face") << "<font face='Liberation Mono'>X</font>"
                               << "Liberation Mono";
    QTest::newRow("entity in attribute")
        << "<span style=\"font-family: &quot;Liberation Sans&quot;\">X</span>"
        << "Liberation Sans";
}

void tst_HtmlImport::faces()
{
    QFETCH(QString, html);
    QFETCH(QString, face);
    QTextDocument doc;
    paste(doc, html.toUtf8());
    const TextRuns::Run r = runAt(doc, QStringLiteral("X"));
    if (face == u"mono") {
        QVERIFY2(QFontDatabase::hasFamily(r.face), qPrintable(r.face));
        QVERIFY2(QFontDatabase::isFixedPitch(r.face), qPrintable(r.face));
    } else {
        QCOMPARE(r.face, face);
    }
}

void tst_HtmlImport::structure_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("outline");

    QTest::newRow("white space") << "  <p>\n  a \n\t b  </p>\n"
                                 << "a b";
    QTest::newRow("br") << "<p>a<br>b</p>"
                        << "a\nb";
    QTest::newRow("br ending a paragraph") << "<p>a<br></p><p>b</p>"
                                           << "a|b";
    QTest::newRow("empty line") << "<p>a</p><p><br></p><p>b</p>"
                                << "a||b";
    QTest::newRow("two br") << "a<br><br>b"
                            << "a\n\nb";
    QTest::newRow("div and text") << "a<div>b</div>c"
                                  << "a|b|c";
    QTest::newRow("nested lists") << "<ul><li>a<ul><li>b</li></ul></li><li>c</li></ul>"
                                  << "* a|* b|* c";
    QTest::newRow("numbered start") << "<ol start=3><li>a<li>b</ol>"
                                    << "3.\ta|4.\tb";
    QTest::newRow("li value") << "<ol><li value=7>a</li><li>b</li></ol>"
                              << "7.\ta|8.\tb";
    QTest::newRow("list then paragraph") << "<ul><li>a</li></ul><p>b</p>"
                                         << "* a|b";
    QTest::newRow("list emptied, then continued") << "<ul><li></li><p>x</p><li>y</li></ul>"
                                                  << "x|* y";
    QTest::newRow("table") << "<table><tr><td>a</td><td><p>b</p></td><td>c</td></tr>"
                              "<tr><td>1<td>2</table>"
                           << "a\tb\tc|1\t2";
    QTest::newRow("image and script dropped")
        << "<p>a<img src='x.png' alt='pic'><script>var s = '<p>x</p>';</script>"
           "<style>p{}</style>b</p>"
        << "ab";
    QTest::newRow("hidden") << "a<span style='display:none'>x</span>b"
                            << "ab";
    QTest::newRow("comment") << "a<!-- <p>x</p> -->b"
                             << "ab";
    QTest::newRow("entities") << "&lt;a&gt; &amp; &eacute;&#233;&#xE9; &euro;&#128; &bogus; &"
                              << "<a> & ééé €€ &bogus; &";
    QTest::newRow("bad numbers") << "&#0;&#xD800;&#x110000;"
                                 << "\uFFFD\uFFFD\uFFFD";
    QTest::newRow("pre keeps spaces") << "<pre>a  b\nc</pre>"
                                      << "a  b\nc";
    QTest::newRow("stray <") << "a < b <3"
                             << "a < b <3";
    QTest::newRow("unclosed tag") << "a<b"
                                  << "a";
    QTest::newRow("fragment markers")
        << "<html><body>\n<!--StartFragment--><b>a</b><!--EndFragment-->\n</body></html>"
        << "a";
}

void tst_HtmlImport::structure()
{
    QFETCH(QString, html);
    QFETCH(QString, outline);
    QTextDocument doc;
    paste(doc, html.toUtf8());
    QCOMPARE(::outline(doc), outline);
}

void tst_HtmlImport::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString t = QStringLiteral("<p>Zürich €</p>");
    const auto utf16 = [&](QStringEncoder::Encoding e, bool bom) {
        QStringEncoder enc(e, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
        return QByteArray(enc.encode(t));
    };
    QTest::newRow("utf-8") << t.toUtf8() << t;
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF" + t.toUtf8()) << t;
    QTest::newRow("utf-16le bom") << utf16(QStringEncoder::Utf16LE, true) << t;
    QTest::newRow("utf-16be bom") << utf16(QStringEncoder::Utf16BE, true) << t;
    QTest::newRow("utf-16le") << utf16(QStringEncoder::Utf16LE, false) << t;
    QTest::newRow("utf-16be") << utf16(QStringEncoder::Utf16BE, false) << t;
    QTest::newRow("meta charset")
        << QByteArray("<meta charset=\"iso-8859-15\"><p>Z\xFCrich \xA4</p>")
        << QStringLiteral("<meta charset=\"iso-8859-15\"><p>Zürich €</p>");
    QTest::newRow("meta utf-16 in bytes") << QByteArray("<meta charset=utf-16><p>Z\xC3\xBCrich</p>")
                                          << QStringLiteral("<meta charset=utf-16><p>Zürich</p>");
    QTest::newRow("latin-1 label is windows-1252")
        << QByteArray("<meta charset=iso-8859-1>\x93q\x94")
        << QStringLiteral("<meta charset=iso-8859-1>“q”");
    QTest::newRow("not utf-8") << QByteArray("<p>Z\xFCrich \x80</p>") << t;
}

void tst_HtmlImport::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(HtmlImport::decode(bytes), text);
}

// A save, the print and the size box read each run's own face and size.
void tst_HtmlImport::everyRunHasFaceAndWholeSize()
{
    for (const QString &browser : {QStringLiteral("firefox"), QStringLiteral("chromium")}) {
        const QTextDocumentFragment fragment =
            HtmlImport::fragment(fixture(browser + QStringLiteral(".html")), baseFormat());
        QTextDocument doc;
        QTextCursor(&doc).insertFragment(fragment);
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                QVERIFY(!f.fontFamilies().toStringList().value(0).isEmpty());
                QVERIFY(f.fontPointSize() >= 1);
                QCOMPARE(f.fontPointSize(), std::round(f.fontPointSize()));
                QVERIFY(!f.hasProperty(QTextFormat::FontSizeAdjustment));
            }
        }
    }
}

// What the fuzzer kept reads with bounded output, real faces and sizes.
void tst_HtmlImport::fuzzCorpusReads()
{
    const QDir dir(QStringLiteral(HTML_CORPUS));
    const QStringList files = dir.entryList(QDir::Files);
    QVERIFY(files.size() >= 6);
    for (const QString &name : files) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QTextDocument doc;
        paste(doc, bytes);
        QVERIFY2(doc.characterCount() <= 3 * bytes.size() + 2, qPrintable(name));
        for (const TextRuns::Paragraph &p : TextRuns::of(doc)) {
            for (const TextRuns::Run &r : p.runs) {
                QVERIFY2(!r.face.isEmpty() && r.halfPoints >= 2, qPrintable(name));
            }
        }
    }
}

QTEST_MAIN(tst_HtmlImport)
#include "tst_HtmlImport.moc"
