#include "TextRuns.h"
#include "platform/rtf/RtfReader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using platform::rtf::RtfReader;
using namespace TextRuns;

namespace {

QList<Paragraph> read(const QByteArray &rtf, bool *ok = nullptr)
{
    QTextDocument doc;
    const bool result = RtfReader::read(rtf, doc);
    if (ok)
        *ok = result;
    return TextRuns::of(doc);
}

QString plainText(const QByteArray &rtf, bool *ok = nullptr)
{
    QTextDocument doc;
    const bool result = RtfReader::read(rtf, doc);
    if (ok)
        *ok = result;
    return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(FIXTURES "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return f.readAll();
}

Run run(const QString &text, const QString &face, int halfPoints, QRgb color = 0,
        const QString &style = {})
{
    Run r;
    r.text = text;
    r.face = face;
    r.halfPoints = halfPoints;
    r.color = color;
    r.bold = style.contains(u'b');
    r.italic = style.contains(u'i');
    r.underline = style.contains(u'u');
    r.strike = style.contains(u's');
    return r;
}

} // namespace

class tst_RtfReader : public QObject {
    Q_OBJECT
private slots:
    void libreOfficeFormatting();
    void libreOfficeLists();
    void text_data();
    void paragraphBreakCharacters_data();
    void paragraphBreakCharacters();
    void text();
    void characterFormats_data();
    void characterFormats();
    void manyCharacterFormats();
    void paragraphFormats_data();
    void paragraphFormats();
    void codePages_data();
    void codePages();
    void malformed_data();
    void malformed();
    void deepNesting();
};

void tst_RtfReader::libreOfficeFormatting()
{
    bool ok = false;
    const QList<Paragraph> doc = read(fixture("formatting.rtf"), &ok);
    QVERIFY(ok);
    QCOMPARE(doc.size(), 6);
    const QString serif = QStringLiteral("Liberation Serif");
    QCOMPARE(doc[0].align, Qt::AlignLeft);
    QCOMPARE(doc[0].runs, (QList<Run>{run("Plain ", serif, 24), run("bold", serif, 24, 0, "b"),
                                      run(" ", serif, 24), run("italic", serif, 24, 0, "i"),
                                      run(" ", serif, 24), run("underline", serif, 24, 0, "u"),
                                      run(" ", serif, 24), run("strike", serif, 24, 0, "s"),
                                      run(" ", serif, 24), run("bolditalic", serif, 24, 0, "bi")}));
    QCOMPARE(doc[1].align, Qt::AlignHCenter);
    QCOMPARE(doc[1].runs, QList<Run>{run("Red centred", "Liberation Sans", 36, qRgb(255, 0, 0))});
    QCOMPARE(doc[2].align, Qt::AlignRight);
    QCOMPARE(doc[2].runs, QList<Run>{run("Right aligned mono", "DejaVu Sans Mono", 20)});
    QCOMPARE(doc[3].align, Qt::AlignJustify);
    QVERIFY(doc[3].text().startsWith("Justified text"));
    QCOMPARE(doc[0].afterTwips, 140); // LibreOffice's space below body text
    QCOMPARE(doc[4].leftTwips, 1440);
    QCOMPARE(doc[4].firstTwips, 720);
    QCOMPARE(doc[4].text(), QStringLiteral("Indented paragraph"));
    QCOMPARE(doc[5].text(),
             QStringLiteral("Accents: café, naïve, Zürich; symbols € “quoted” — dash; Greek "
                            "αβγ; CJK 漢字"));
}

void tst_RtfReader::libreOfficeLists()
{
    bool ok = false;
    const QList<Paragraph> doc = read(fixture("lists.rtf"), &ok);
    QVERIFY(ok);
    QStringList texts;
    QList<bool> bullets;
    for (const Paragraph &p : doc) {
        texts << p.text();
        bullets << p.bullet;
    }
    QCOMPARE(texts, (QStringList{"Before the list", "First bullet", "Second bullet",
                                 "1.\tNumbered one", "2.\tNumbered two", "A1\tB1", "A2\tB2",
                                 QStringLiteral("After the table\u2028with a line break")}));
    QCOMPARE(bullets, (QList<bool>{false, true, true, false, false, false, false, false}));
}

void tst_RtfReader::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("paragraphs") << QByteArray("{\\rtf1 one\\par two\\par}") << "one\ntwo";
    QTest::newRow("final text without par") << QByteArray("{\\rtf1 one\\par two}") << "one\ntwo";
    QTest::newRow("empty paragraphs kept")
        << QByteArray("{\\rtf1 one\\par\\par\\par two\\par}") << "one\n\n\ntwo";
    QTest::newRow("backslash newline is par") << QByteArray("{\\rtf1 a\\\nb}") << "a\nb";
    QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}")
                                  << QStringLiteral("a\u2028b\tc");
    QTest::newRow("escapes") << QByteArray("{\\rtf1 \\{x\\}\\\\y}") << "{x}\\y";
    QTest::newRow("symbols")
        << QByteArray("{\\rtf1 \\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\~}")
        << QStringLiteral("—–‘’“”•\u00a0");
    QTest::newRow("raw line ends ignored") << QByteArray("{\\rtf1 ab\r\ncd}") << "abcd";
    QTest::newRow("unicode with fallback")
        << QByteArray("{\\rtf1 \\u8364?x\\u-10179?\\u-8704?}") << QStringLiteral("€x😀");
    QTest::newRow("uc2 skips two")
        << QByteArray("{\\rtf1\\uc2 \\u945 ab\\'e1c}") << QStringLiteral("αác");
    QTest::newRow("uc0 skips none") << QByteArray("{\\rtf1\\uc0 \\u945\\u946}") << "αβ";
    QTest::newRow("unicode after hex keeps order")
        << QByteArray("{\\rtf1 \\'e9\\u945?\\'e8}") << QStringLiteral("éαè");
    QTest::newRow("uc is scoped") << QByteArray("{\\rtf1 {\\uc0 \\u945}\\u946 ?}")
                                  << QStringLiteral("αβ");
    QTest::newRow("skip ends at group")
        << QByteArray("{\\rtf1\\uc3 \\u945{b}c}") << QStringLiteral("αbc");
    QTest::newRow("ignorable unknown destination")
        << QByteArray("{\\rtf1 a{\\*\\mystery junk {nested}}b}") << "ab";
    QTest::newRow("unknown control words ignored")
        << QByteArray("{\\rtf1 a\\madeup42 b\\zz c}") << "abc";
    QTest::newRow("tables of non-text")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                      "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}x}")
        << "x";
    QTest::newRow("field result kept")
        << QByteArray("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}"
                      "{\\fldrslt here}}.}")
        << "see here.";
    QTest::newRow("field instruction without star")
        << QByteArray("{\\rtf1 {\\field{\\fldinst PAGE}{\\fldrslt 3}}}") << "3";
    QTest::newRow("picture skipped")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip\\picw10 89504e470d0a}b}") << "ab";
    QTest::newRow("object skipped")
        << QByteArray("{\\rtf1 a{\\object\\objemb{\\*\\objdata 0102}{\\result{\\pict 00}}}b}")
        << "ab";
    QTest::newRow("shape picture skipped")
        << QByteArray("{\\rtf1 a{\\*\\shppict{\\pict 00}}{\\nonshppict{\\pict 00}}b}") << "ab";
    QTest::newRow("binary data skipped")
        << QByteArray("{\\rtf1 a{\\pict\\bin5 {}\\}x}b}", 27) << "ab";
    QTest::newRow("hidden text") << QByteArray("{\\rtf1 a{\\v hidden}b\\v c\\v0 d}") << "abd";
    QTest::newRow("header and footer skipped")
        << QByteArray("{\\rtf1{\\header H}{\\footer F}{\\footnote N}body}") << "body";
    QTest::newRow("table cells")
        << QByteArray("{\\rtf1\\trowd\\cellx100\\cellx200\\pard\\intbl A\\cell B\\cell\\row"
                      "\\trowd\\cellx100\\cellx200\\pard\\intbl C\\cell D\\cell\\row\\pard E\\par}")
        << "A\tB\nC\tD\nE";
    QTest::newRow("empty table cells")
        << QByteArray("{\\rtf1\\trowd\\pard\\intbl A\\cell\\cell C\\cell\\cell\\row}")
        << "A\t\tC\t";
    QTest::newRow("numbering kept as text")
        << QByteArray("{\\rtf1{\\listtext 1.\\tab}one\\par{\\pntext 2)\\tab}two\\par}")
        << "1.\tone\n2)\ttwo";
    QTest::newRow("bullet marker dropped")
        << QByteArray("{\\rtf1{\\pntext\\f1\\'b7\\tab}one\\par}") << "one";
    QTest::newRow("page break between paragraphs")
        << QByteArray("{\\rtf1 a\\par\\page b\\page\\par}") << "a\nb";
    QTest::newRow("page break inside a paragraph")
        << QByteArray("{\\rtf1 a\\page b\\sect c}") << "a\nb\nc";
    QTest::newRow("after root group ignored") << QByteArray("{\\rtf1 a}b{c}") << "a";
}

void tst_RtfReader::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    bool ok = false;
    QCOMPARE(plainText(rtf, &ok), expected);
    QVERIFY(ok);
}

// Characters the document holds only as paragraph and frame boundaries
// become paragraphs, never stray characters inside one.
void tst_RtfReader::paragraphBreakCharacters_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QStringList>("paragraphs");

    QTest::newRow("paragraph separator")
        << QByteArray("{\\rtf1 {\\b a\\u8233?}b\\par c}") << QStringList{"a", "b", "c"};
    QTest::newRow("frame marks") << QByteArray("{\\rtf1 a\\u-560?b\\u-559?c}")
                                 << QStringList{"a", "b", "c"};
}

void tst_RtfReader::paragraphBreakCharacters()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QStringList, paragraphs);
    QTextDocument doc;
    QVERIFY(RtfReader::read(rtf, doc));
    QStringList read;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        read << block.text();
    QCOMPARE(read, paragraphs);
}

void tst_RtfReader::characterFormats_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QList<Run>>("runs");
    const QByteArray head("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times;}{\\f1\\fswiss Arial;}"
                          "{\\f2 Courier New;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0"
                          "\\blue255;}");

    QTest::newRow("defaults") << head + "x}" << QList<Run>{run("x", "Arial", 24)};
    QTest::newRow("toggles") << head + "\\b b\\b0\\i i\\i0\\ul u\\ulnone\\strike s\\strike0 n}"
                             << QList<Run>{run("b", "Arial", 24, 0, "b"),
                                           run("i", "Arial", 24, 0, "i"),
                                           run("u", "Arial", 24, 0, "u"),
                                           run("s", "Arial", 24, 0, "s"), run("n", "Arial", 24)};
    QTest::newRow("group scope") << head + "{\\b\\f2\\fs40\\cf1 in}out}"
                                 << QList<Run>{run("in", "Courier New", 40, qRgb(255, 0, 0), "b"),
                                               run("out", "Arial", 24)};
    QTest::newRow("plain resets") << head + "\\f0\\fs18\\cf2\\b\\i x\\plain y}"
                                  << QList<Run>{run("x", "Times", 18, qRgb(0, 0, 255), "bi"),
                                                run("y", "Arial", 24)};
    QTest::newRow("colour 0 is automatic")
        << head + "\\cf1 r\\cf0 a\\cf99 z}"
        << QList<Run>{run("r", "Arial", 24, qRgb(255, 0, 0)), run("az", "Arial", 24)};
    QTest::newRow("underline kinds")
        << head + "\\uldb a\\ul0 b\\ulw c\\ulnone d}"
        << QList<Run>{run("a", "Arial", 24, 0, "u"), run("b", "Arial", 24),
                      run("c", "Arial", 24, 0, "u"), run("d", "Arial", 24)};
    QTest::newRow("half points") << head + "\\fs25 x}" << QList<Run>{run("x", "Arial", 25)};
    // Bytes of a code page other than 1252 wait to be decoded until the group ends.
    QTest::newRow("bytes decoded as a group ends")
        << QByteArray(
               "{\\rtf1\\ansi\\ansicpg28591\\deff0{\\fonttbl{\\f0 Arial;}}{\\b \\'e9}x\\u233?}")
        << QList<Run>{run("é", "Arial", 24, 0, "b"), run("xé", "Arial", 24)};
    QTest::newRow("size clamped") << head + "\\fs99999999 a\\fs0 b}"
                                  << QList<Run>{run("a", "Arial", 3276), run("b", "Arial", 2)};
    QTest::newRow("mac font table without groups")
        << QByteArray("{\\rtf1\\mac{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\fmodern Courier;}\\f1 x}")
        << QList<Run>{run("x", "Courier", 24)};
    QTest::newRow("font entry with alternative name")
        << QByteArray(
               "{\\rtf1{\\fonttbl{\\f0 Liberation Serif{\\*\\falt Times New Roman};}}\\f0 x}")
        << QList<Run>{run("x", "Liberation Serif", 24)};
}

void tst_RtfReader::characterFormats()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QList<Run>, runs);
    const QList<Paragraph> doc = read(rtf);
    QCOMPARE(doc.size(), 1);
    QCOMPARE(doc[0].runs, runs);
}

void tst_RtfReader::manyCharacterFormats()
{
    // More distinct formats than the reader keeps at once, within one paragraph
    // and again in the next: every run keeps its own.
    QByteArray rtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 ");
    QList<Paragraph> expected(2);
    const auto add = [&](int paragraph, int i) {
        const int halfPoints = 2 + i % 3000;
        const bool bold = i >= 3000;
        rtf += "{\\fs" + QByteArray::number(halfPoints) + (bold ? "\\b" : "") + " x}";
        expected[paragraph].runs.append(run("x", "Arial", halfPoints, 0, bold ? "b" : ""));
    };
    for (int i = 0; i < 6000; ++i)
        add(0, i);
    rtf += "\\par ";
    for (const int i : {5999, 0, 4321, 17, 3000})
        add(1, i);
    rtf += "}";
    QCOMPARE(read(rtf), expected);
}

void tst_RtfReader::paragraphFormats_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("firstTwips");
    QTest::addColumn<int>("leftTwips");
    QTest::addColumn<bool>("bullet");

    QTest::newRow("left") << QByteArray("{\\rtf1\\ql x}") << int(Qt::AlignLeft) << 0 << 0 << false;
    QTest::newRow("centre") << QByteArray("{\\rtf1\\qc x}") << int(Qt::AlignHCenter) << 0 << 0
                            << false;
    QTest::newRow("right") << QByteArray("{\\rtf1\\qr x}") << int(Qt::AlignRight) << 0 << 0
                           << false;
    QTest::newRow("justified") << QByteArray("{\\rtf1\\qj x}") << int(Qt::AlignJustify) << 0 << 0
                               << false;
    QTest::newRow("indents") << QByteArray("{\\rtf1\\fi-360\\li1440 x}") << int(Qt::AlignLeft)
                             << -360 << 1440 << false;
    QTest::newRow("pard resets") << QByteArray("{\\rtf1\\qc\\fi200\\li400\\pard x}")
                                 << int(Qt::AlignLeft) << 0 << 0 << false;
    QTest::newRow("final par keeps the format")
        << QByteArray("{\\rtf1\\qc\\li200 x\\par}") << int(Qt::AlignHCenter) << 0 << 200 << false;
    QTest::newRow("format at par applies")
        << QByteArray("{\\rtf1 x\\qr\\par}") << int(Qt::AlignRight) << 0 << 0 << false;
    QTest::newRow("pntext bullet")
        << QByteArray("{\\rtf1\\pard{\\pntext\\f0\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0{\\pntxtb"
                      "\\'b7}}\\fi-300\\li600 x\\par}")
        << int(Qt::AlignLeft) << 0 << 0 << true;
    QTest::newRow("listtext bullet before pard")
        << QByteArray("{\\rtf1{\\listtext\\pard\\plain \\u8226\\'95\\tab}\\pard\\ls1\\fi-283"
                      "\\li709 x\\par}")
        << int(Qt::AlignLeft) << 17 << 109 << true;
    QTest::newRow("pn bullet only")
        << QByteArray("{\\rtf1{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}x\\par}") << int(Qt::AlignLeft)
        << 300 << 0 << true;
    QTest::newRow("giant indent clamped") << QByteArray("{\\rtf1\\li99999999999\\fi-99999999999 x}")
                                          << int(Qt::AlignLeft) << -31680 << 31680 << false;
}

void tst_RtfReader::paragraphFormats()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, align);
    QFETCH(int, firstTwips);
    QFETCH(int, leftTwips);
    QFETCH(bool, bullet);
    const QList<Paragraph> doc = read(rtf);
    QCOMPARE(doc.size(), 1);
    QCOMPARE(int(doc[0].align), align);
    QCOMPARE(doc[0].firstTwips, firstTwips);
    QCOMPARE(doc[0].leftTwips, leftTwips);
    QCOMPARE(doc[0].bullet, bullet);
    QCOMPARE(doc[0].text(), QStringLiteral("x"));
}

void tst_RtfReader::codePages_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("codec"); // needed from Qt's converters, or empty

    QTest::newRow("1252 high range") << QByteArray("{\\rtf1\\ansi \\'80\\'93x\\'94\\'e9}")
                                     << QStringLiteral("€“x”é") << QByteArray();
    QTest::newRow("ansicpg1252 raw 8-bit") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\xe9}")
                                           << QStringLiteral("café") << QByteArray();
    QTest::newRow("latin-1") << QByteArray("{\\rtf1\\ansi\\ansicpg28591 \\'80\\'e9}")
                             << QStringLiteral("\u0080é") << QByteArray();
    QTest::newRow("1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}")
                          << QStringLiteral("При") << QByteArray("windows-1251");
    QTest::newRow("font charset")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 Arial "
                      "Cyr;}}\\f1 \\'cf\\f0 \\'e9}")
        << QStringLiteral("Пé") << QByteArray("windows-1251");
    QTest::newRow("shift-jis pairs")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}") << QStringLiteral("あい")
        << QByteArray("Shift_JIS");
    QTest::newRow("unknown code page falls back")
        << QByteArray("{\\rtf1\\ansi\\ansicpg31337 \\'e9}") << QStringLiteral("é") << QByteArray();
}

void tst_RtfReader::codePages()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QFETCH(QByteArray, codec);
    if (!codec.isEmpty() && !QStringDecoder(codec.constData()).isValid())
        QSKIP("Qt has no converter for this code page");
    QCOMPARE(plainText(rtf), expected);
}

void tst_RtfReader::malformed_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("truncated in group") << QByteArray("{\\rtf1 Hello {\\b wor") << "Hello wor";
    QTest::newRow("truncated in control word") << QByteArray("{\\rtf1 Hello\\pa") << "Hello";
    QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 Hello\\") << "Hello";
    QTest::newRow("truncated in hex") << QByteArray("{\\rtf1 Hello\\'4") << "Hello";
    QTest::newRow("truncated font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Ari") << "";
    QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 A}}}} B") << "A";
    QTest::newRow("invalid hex") << QByteArray("{\\rtf1 a\\'zzb\\'4}") << "azzb";
    QTest::newRow("giant parameters")
        << QByteArray("{\\rtf1\\fs999999999999999999999 Big\\f-99999999999999 x\\cf123456789012 y}")
        << "Bigxy";
    QTest::newRow("invalid unicode") << QByteArray("{\\rtf1\\u99999999 ?a\\u-99999 ?b\\u-10179 ?c}")
                                     << QStringLiteral("\ufffda\ufffdb\ufffdc");
    QTest::newRow("huge bin length") << QByteArray("{\\rtf1 a\\bin999999999999 xyz}") << "a";
    QTest::newRow("negative bin length") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab";
    QTest::newRow("nul and control bytes") << QByteArray("{\\rtf1 a\0b\x01\x1f"
                                                         "c}",
                                                         13)
                                           << "abc";
    QTest::newRow("long control word")
        << QByteArray("{\\rtf1 a\\") + QByteArray(5000, 'x') + QByteArray("123 b}") << "ab";
    QTest::newRow("long digit run")
        << QByteArray("{\\rtf1 a\\fs") + QByteArray(5000, '9') + QByteArray(" b}") << "ab";
    QTest::newRow("only header") << QByteArray("{\\rtf") << "";
}

void tst_RtfReader::malformed()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(plainText(rtf), expected);
}

void tst_RtfReader::deepNesting()
{
    // Nesting within the limit reads; beyond it the reader gives up with an error.
    const int inside = RtfReader::kMaxDepth - 2;
    QByteArray ok = "{\\rtf1 a" + QByteArray(inside, '{') + "b" + QByteArray(inside, '}') + "c}";
    bool success = false;
    QCOMPARE(plainText(ok, &success), QStringLiteral("abc"));
    QVERIFY(success);

    const QByteArray deep = "{\\rtf1 a" + QByteArray(1000000, '{') + "b";
    QString error;
    QTextDocument doc;
    QVERIFY(!RtfReader::read(deep, doc, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(tst_RtfReader)
#include "tst_RtfReader.moc"
