#include "SelectText.h"
#include "TextRuns.h"
#include "platform/AppError.h"
#include "platform/RichEdit.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

using platform::CharAttributes;
using platform::ParaAlignment;
using platform::RichEdit;

namespace {

QString errorOf(RichEdit &edit, const QByteArray &data)
{
    try {
        edit.loadFromStream(data);
    } catch (const platform::AppError &e) {
        return e.message();
    }
    return {};
}

// A printer-like page at 300 dpi.
QImage page()
{
    QImage image(2480, 3508, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    return image;
}

bool hasInk(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(line[x]) < 128)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_RichEdit : public QObject {
    Q_OBJECT
private slots:
    void holdsRtf_data();
    void holdsRtf();
    void loadRtf();
    void loadPlainText_data();
    void loadPlainText();
    void loadPlainTextTakesInsertionFormat();
    void loadFailure();
    void attributesOfSelection();
    void attributesWithUndo();
    void attributeFields();
    void faceAndSize_data();
    void faceAndSize();
    void automaticColour();
    void paragraphAttributes();
    void bullets();
    void firstIndentMovesParagraph();
    void paragraphsIgnoreWrapping();
    void insertAndAppendParagraphs();
    void displayedLines();
    void replaceLineKeepsFormatting();
    void removeLeadingSpacesOnLongLine();
    void selectionToRtf();
    void insertRtf();
    void formatRangeCoversText();
    void formatRangeRenders();
    void formatRangeOutOfOrder();
    void formatRangeFollowsChanges();
    void formatRangeFailures();
};

void tst_RichEdit::holdsRtf_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("rtf");
    QTest::newRow("rtf") << QByteArray("{\\rtf1 x}") << true;
    QTest::newRow("bare header") << QByteArray("{\\rtf") << true;
    QTest::newRow("leading blank") << QByteArray(" {\\rtf1 x}") << false;
    QTest::newRow("html") << QByteArray("<html>{\\rtf</html>") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_RichEdit::holdsRtf()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, rtf);
    QCOMPARE(RichEdit::holdsRtf(data), rtf);
}

void tst_RichEdit::loadRtf()
{
    RichEdit edit;
    edit.setPlainText("old");
    edit.loadFromStream("{\\rtf1{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs30\\b Bold\\b0  text\\par "
                        "second}");
    QCOMPARE(edit.paragraphCount(), 2);
    QCOMPARE(edit.paragraph(0), QStringLiteral("Bold text"));
    QCOMPARE(edit.textCursor().position(), 0);
    QVERIFY(!edit.document()->isUndoAvailable());
    select(edit, 0, 4);
    const CharAttributes a = edit.selAttributes();
    QCOMPARE(a.face, QStringLiteral("DejaVu Sans"));
    QCOMPARE(a.size, 15);
    QVERIFY(a.bold);
}

void tst_RichEdit::loadPlainText_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::newRow("crlf") << QByteArray("one\r\ntwo\r\n") << QStringList{"one", "two", ""};
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << QStringList{"café"};
    QTest::newRow("utf-8 bom") << QByteArray("\xef\xbb\xbfx") << QStringList{"x"};
    QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80") << QStringList{"café €"};
    QTest::newRow("utf-16") << QByteArray("\xff\xfe"
                                          "a\0\n\0b\0",
                                          8)
                            << QStringList{"a", "b"};
    QTest::newRow("html as source")
        << QByteArray("<html><b>x</b></html>") << QStringList{"<html><b>x</b></html>"};
}

void tst_RichEdit::loadPlainText()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, paragraphs);
    RichEdit edit;
    edit.loadFromStream(data);
    QStringList actual;
    for (int i = 0; i < edit.paragraphCount(); ++i)
        actual << edit.paragraph(i);
    QCOMPARE(actual, paragraphs);
}

void tst_RichEdit::loadPlainTextTakesInsertionFormat()
{
    RichEdit edit;
    CharAttributes font;
    font.face = QStringLiteral("DejaVu Sans Mono");
    font.size = 17;
    font.color = QColor(0, 0, 255);
    font.italic = true;
    edit.setSelAttributes(font);
    edit.loadFromStream("plain\nsecond");
    select(edit, 7, 8);
    const CharAttributes a = edit.selAttributes();
    QCOMPARE(a.face, font.face);
    QCOMPARE(a.size, 17);
    QCOMPARE(a.color, font.color);
    QVERIFY(a.italic);
}

void tst_RichEdit::loadFailure()
{
    RichEdit edit;
    edit.setPlainText("old");
    QCOMPARE(errorOf(edit, QByteArray("bin\0ary", 7)), QStringLiteral("Failed to Load Stream"));
    QVERIFY(edit.document()->isEmpty());
    edit.setPlainText("old");
    const QByteArray deep = "{\\rtf1 " + QByteArray(100000, '{');
    QCOMPARE(errorOf(edit, deep), QStringLiteral("Failed to Load Stream"));
    QVERIFY(edit.document()->isEmpty());
}

void tst_RichEdit::attributesOfSelection()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1{\\fonttbl{\\f0 A;}{\\f1 B;}}\\f0 aa{\\f1\\b bb}}");
    select(edit, 1, 3); // starts in the plain run
    QCOMPARE(edit.selAttributes().face, QStringLiteral("A"));
    QVERIFY(!edit.selAttributes().bold);
    select(edit, 2, 4);
    QCOMPARE(edit.selAttributes().face, QStringLiteral("B"));
    QVERIFY(edit.selAttributes().bold);
    // The insertion point reports the character before it.
    select(edit, 3, 3);
    QVERIFY(edit.selAttributes().bold);
    select(edit, 1, 1);
    QVERIFY(!edit.selAttributes().bold);
}

void tst_RichEdit::attributesWithUndo()
{
    RichEdit edit;
    edit.setPlainText("hello world");
    edit.document()->clearUndoRedoStacks();
    select(edit, 0, 5);
    CharAttributes a = edit.selAttributes();
    a.bold = a.underline = a.strikeOut = true;
    edit.setSelAttributes(a);
    QVERIFY(edit.selAttributes().bold);
    QVERIFY(edit.selAttributes().strikeOut);
    edit.document()->undo();
    select(edit, 0, 5);
    QVERIFY(!edit.selAttributes().bold);
    QVERIFY(!edit.selAttributes().strikeOut);
}

void tst_RichEdit::attributeFields()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1{\\fonttbl{\\f0 A;}{\\f1 B;}}\\f0\\fs20 aa{\\f1\\fs40\\b bb}}");
    select(edit, 0, 4);
    CharAttributes a;
    a.face = QStringLiteral("C");
    edit.setSelAttributes(a, platform::CharFace);
    select(edit, 3, 4);
    QCOMPARE(edit.selAttributes().face, QStringLiteral("C"));
    QCOMPARE(edit.selAttributes().size, 20); // sizes and styles untouched
    QVERIFY(edit.selAttributes().bold);
    select(edit, 0, 1);
    QCOMPARE(edit.selAttributes().size, 10);
}

void tst_RichEdit::faceAndSize_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("storedFace");
    QTest::addColumn<int>("storedSize");
    QTest::newRow("plain") << "DejaVu Sans" << 14 << "DejaVu Sans" << 14;
    QTest::newRow("long face cut to 32") << QString(40, u'x') << 12 << QString(32, u'x') << 12;
    QTest::newRow("size 0 keeps size") << "DejaVu Sans" << 0 << "DejaVu Sans" << 12;
}

void tst_RichEdit::faceAndSize()
{
    QFETCH(QString, face);
    QFETCH(int, size);
    QFETCH(QString, storedFace);
    QFETCH(int, storedSize);
    RichEdit edit;
    edit.loadFromStream("{\\rtf1 abc}");
    select(edit, 0, 3);
    CharAttributes a = edit.selAttributes();
    a.face = face;
    a.size = size;
    edit.setSelAttributes(a);
    QCOMPARE(edit.selAttributes().face, storedFace);
    QCOMPARE(edit.selAttributes().size, storedSize);
}

void tst_RichEdit::automaticColour()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1{\\colortbl;\\red200\\green0\\blue0;}\\cf1 red}");
    select(edit, 0, 3);
    CharAttributes a = edit.selAttributes();
    QVERIFY(!a.autoColor);
    QCOMPARE(a.color, QColor(200, 0, 0));
    a.autoColor = true;
    edit.setSelAttributes(a);
    a = edit.selAttributes();
    QVERIFY(a.autoColor);
    QCOMPARE(a.color, edit.palette().color(QPalette::Text));
    QVERIFY(!edit.toRtf().contains("\\cf"));
}

void tst_RichEdit::paragraphAttributes()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1\\qj one\\par two\\par three}");
    select(edit, 0, 0);
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Justify);
    select(edit, 1, 5); // touches "one" and "two"
    edit.setParaAlignment(ParaAlignment::Center);
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Center);
    select(edit, 9, 9);
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Justify);
    select(edit, 5, 5);
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Center);
    edit.setParaAlignment(ParaAlignment::Right);
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Right);
    edit.document()->undo();
    QCOMPARE(edit.paraAlignment(), ParaAlignment::Center);
}

void tst_RichEdit::bullets()
{
    RichEdit edit;
    edit.setPlainText("one\ntwo\nthree");
    select(edit, 1, 5);
    edit.setParaBullets(true);
    QVERIFY(edit.paraBullets());
    const QTextBlock one = edit.document()->firstBlock();
    QVERIFY(one.textList());
    QCOMPARE(one.next().textList(), one.textList());
    QVERIFY(!one.next().next().textList());
    select(edit, 5, 5);
    edit.setParaBullets(false);
    QVERIFY(!edit.paraBullets());
    QVERIFY(edit.document()->firstBlock().textList());
    QCOMPARE(edit.document()->firstBlock().next().blockFormat().indent(), 0);
    edit.document()->undo();
    QVERIFY(edit.paraBullets());
}

void tst_RichEdit::firstIndentMovesParagraph()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1\\fi-360\\li720 hanging}");
    QCOMPARE(edit.paraFirstIndentPt(), 18.0);
    edit.setParaFirstIndentPt(edit.paraFirstIndentPt() + 20); // indent
    QCOMPARE(edit.paraFirstIndentPt(), 38.0);
    // The following lines keep their place relative to the first one.
    const QTextBlockFormat f = edit.document()->firstBlock().blockFormat();
    QCOMPARE(TextRuns::toTwips(f.leftMargin()), 720 + 400);
    QCOMPARE(TextRuns::toTwips(f.textIndent()), -360);
    edit.setParaFirstIndentPt(-20); // below zero passes on unchanged
    QCOMPARE(edit.paraFirstIndentPt(), -20.0);
    QVERIFY(edit.toRtf().contains("\\fi-360\\li-40"));
}

void tst_RichEdit::paragraphsIgnoreWrapping()
{
    RichEdit edit;
    edit.resize(200, 300);
    edit.show();
    const QString longText = QString("word ").repeated(60).trimmed();
    edit.setPlainText(longText + "\nshort");
    QVERIFY(edit.lineCount() > 3);
    QCOMPARE(edit.paragraphCount(), 2);
    QCOMPARE(edit.paragraph(0), longText);
    QCOMPARE(edit.paragraph(1), QStringLiteral("short"));
    QCOMPARE(edit.paragraph(2), QString());
}

void tst_RichEdit::insertAndAppendParagraphs()
{
    RichEdit edit;
    edit.appendParagraph("first"); // an empty control: becomes the first paragraph
    edit.appendParagraph("third");
    edit.insertParagraph(1, "second");
    edit.insertParagraph(0, "zero");
    edit.insertParagraph(99, "last");
    QStringList all;
    for (int i = 0; i < edit.paragraphCount(); ++i)
        all << edit.paragraph(i);
    QCOMPARE(all, (QStringList{"zero", "first", "second", "third", "last"}));
}

void tst_RichEdit::displayedLines()
{
    RichEdit edit;
    edit.resize(220, 300);
    edit.show();
    const QString longText = QString("alpha beta gamma delta ").repeated(8);
    edit.setPlainText(longText + "\nend");
    const int lines = edit.lineCount();
    QVERIFY(lines > 2);
    QString joined;
    for (int i = 0; i < lines - 1; ++i) {
        QCOMPARE(edit.lineStart(i), int(joined.size()));
        joined += edit.line(i);
    }
    QCOMPARE(joined, longText);
    QCOMPARE(edit.line(lines - 1), QStringLiteral("end"));
    QCOMPARE(edit.lineStart(lines - 1), int(longText.size()) + 1);
    QCOMPARE(edit.line(lines), QString());
    QCOMPARE(edit.lineStart(lines), -1);

    edit.setLineWrapMode(QTextEdit::NoWrap);
    QTRY_COMPARE(edit.lineCount(), 2);
    QCOMPARE(edit.line(0), longText);
}

void tst_RichEdit::replaceLineKeepsFormatting()
{
    RichEdit edit;
    edit.resize(600, 300);
    edit.show();
    edit.loadFromStream("{\\rtf1 \\tab   lead {\\b bold} end\\par \\~ x\\line   y}");
    QCOMPARE(edit.lineCount(), 3);
    // Remove leading spaces, line by line.
    for (int i = 0; i < edit.lineCount(); ++i) {
        QString text = edit.line(i);
        qsizetype n = 0;
        while (n < text.size() && text[n].unicode() < 33)
            ++n;
        edit.replaceLine(i, text.mid(n));
    }
    QCOMPARE(edit.paragraph(0), QStringLiteral("lead bold end"));
    QCOMPARE(edit.paragraph(1), QStringLiteral("\u00a0 x\ny")); // a no-break space is 160
    select(edit, 5, 6);
    QVERIFY(edit.selAttributes().bold);
    select(edit, 0, 1);
    QVERIFY(!edit.selAttributes().bold);
    // A replacement that is not a suffix takes the format of the first replaced character.
    edit.replaceLine(0, "lead BOLD end");
    select(edit, 6, 7);
    QVERIFY(edit.selAttributes().bold);
    QCOMPARE(edit.paragraph(0), QStringLiteral("lead BOLD end"));
}

void tst_RichEdit::removeLeadingSpacesOnLongLine()
{
    RichEdit edit;
    edit.setLineWrapMode(QTextEdit::NoWrap);
    const QString tail = QString(10000, u'z') + "END";
    edit.setPlainText("   " + tail);
    QCOMPARE(edit.lineCount(), 1);
    QCOMPARE(edit.line(0).size(), tail.size() + 3);
    edit.replaceLine(0, edit.line(0).mid(3));
    QCOMPARE(edit.paragraph(0), tail);
}

void tst_RichEdit::selectionToRtf()
{
    RichEdit edit;
    edit.loadFromStream("{\\rtf1 one {\\b two} three}");
    select(edit, 4, 7);
    const QByteArray rtf = edit.toRtf(true);
    RichEdit other;
    other.loadFromStream(rtf);
    QCOMPARE(other.paragraphCount(), 1);
    QCOMPARE(other.paragraph(0), QStringLiteral("two"));
    select(other, 0, 3);
    QVERIFY(other.selAttributes().bold);
    QVERIFY(edit.toRtf().contains("three"));
    QVERIFY(!rtf.contains("three"));
}

void tst_RichEdit::insertRtf()
{
    RichEdit edit;
    edit.setPlainText("ab");
    select(edit, 1, 1);
    edit.insertRtf("{\\rtf1 {\\i X}Y}");
    QCOMPARE(edit.paragraph(0), QStringLiteral("aXYb"));
    select(edit, 1, 2);
    QVERIFY(edit.selAttributes().italic);
    edit.document()->undo();
    QCOMPARE(edit.paragraph(0), QStringLiteral("ab"));
    bool threw = false;
    try {
        edit.insertRtf("not rtf");
    } catch (const platform::AppError &e) {
        threw = e.message() == QLatin1String("Failed to Load Stream");
    }
    QVERIFY(threw);
}

void tst_RichEdit::formatRangeCoversText()
{
    RichEdit edit;
    QStringList paragraphs;
    for (int i = 0; i < 300; ++i)
        paragraphs << QStringLiteral("Paragraph %1 with some words that wrap across the "
                                     "printed line at least once or twice, surely.")
                          .arg(i);
    edit.setPlainText(paragraphs.join('\n'));
    QImage image = page();
    const QRect target(1440, 1440, 1440 * 6, 1440 * 9); // 6 by 9 inches
    // The print loop: each page starts where the previous one ended.
    int start = 0;
    int pages = 0;
    while (start < edit.textLength()) {
        const int measured = edit.formatRange(&image, start, target, false);
        const int next = edit.formatRange(&image, start, target, true);
        QCOMPARE(next, measured);
        QVERIFY(next > start);
        start = next;
        ++pages;
    }
    QCOMPARE(start, edit.textLength());
    QVERIFY2(pages > 3 && pages < 60, qPrintable(QString::number(pages)));
    // Pages split only at the measured points: a page from a later start fits no more.
    const int half = edit.formatRange(&image, 0, QRect(0, 0, 1440 * 6, 1440 * 9 / 2), false);
    QVERIFY(half > 0);
    QVERIFY(half < edit.formatRange(&image, 0, target, false));
}

void tst_RichEdit::formatRangeOutOfOrder()
{
    RichEdit edit;
    QStringList paragraphs;
    for (int i = 0; i < 500; ++i)
        paragraphs << QStringLiteral("Paragraph %1, long enough to wrap: %2")
                          .arg(i)
                          .arg(QString(QStringLiteral("words ")).repeated(i % 23));
    edit.setPlainText(paragraphs.join('\n'));
    QImage image = page();
    const QRect target(1440, 1440, 1440 * 6, 1440 * 3);
    QList<int> starts{0};
    while (starts.last() < edit.textLength())
        starts << edit.formatRange(&image, starts.last(), target, false);
    QVERIFY2(starts.size() > 20, qPrintable(QString::number(starts.size())));
    // Pages asked for from both ends by turns, each far from the one before,
    // end where they did when asked for in order.
    const qsizetype pages = starts.size() - 1;
    for (qsizetype k = 0; k < pages; ++k) {
        const qsizetype i = k % 2 == 0 ? k / 2 : pages - 1 - k / 2;
        QCOMPARE(edit.formatRange(&image, starts[i], target, k % 3 == 0), starts[i + 1]);
    }
}

void tst_RichEdit::formatRangeRenders()
{
    RichEdit edit;
    edit.setPlainText(QString("Line of text\n").repeated(200));
    QImage image = page();
    const QRect target(1440, 1440, 1440 * 4, 1440 * 2); // 4 by 2 inches at 1 inch
    const int next = edit.formatRange(&image, 0, target, true);
    QVERIFY(next > 0 && next < edit.textLength());
    // Ink inside the rectangle (300 dpi: 1 inch = 300 px), none outside it.
    QVERIFY(hasInk(image, QRect(300, 300, 1200, 600)));
    QVERIFY(!hasInk(image, QRect(0, 0, 2480, 299)));
    QVERIFY(!hasInk(image, QRect(0, 901, 2480, 2000)));
    QVERIFY(!hasInk(image, QRect(0, 0, 299, 3508)));
    // A painter that is already active on the device is used, not replaced.
    QImage second = page();
    QPainter painter(&second);
    painter.fillRect(QRect(0, 0, 10, 10), Qt::black);
    QCOMPARE(edit.formatRange(&second, 0, target, true), next);
    painter.end();
    QVERIFY(hasInk(second, QRect(300, 300, 1200, 600)));
    QVERIFY(hasInk(second, QRect(0, 0, 10, 10)));
}

void tst_RichEdit::formatRangeFollowsChanges()
{
    RichEdit edit;
    edit.setPlainText(QString("x\n").repeated(500));
    QImage image = page();
    const QRect target(0, 0, 1440 * 4, 1440 * 2);
    const int before = edit.formatRange(&image, 0, target, false);
    // Bigger text fits fewer lines; the cached layout must notice the change.
    QTextCursor all(edit.document());
    all.select(QTextCursor::Document);
    QTextCharFormat big;
    big.setFontPointSize(36);
    all.mergeCharFormat(big);
    const int after = edit.formatRange(&image, 0, target, false);
    QVERIFY2(after < before, qPrintable(QString("%1 %2").arg(before).arg(after)));
    // Another width or resolution lays out anew.
    QImage low(850, 1100, QImage::Format_RGB32);
    low.setDotsPerMeterX(3937);
    low.setDotsPerMeterY(3937);
    QCOMPARE(edit.formatRange(&low, 0, target, false), after);
    edit.releaseFormatCache();
    QCOMPARE(edit.formatRange(&image, 0, target, false), after);
}

void tst_RichEdit::formatRangeFailures()
{
    RichEdit edit;
    edit.setPlainText("abc");
    QImage image = page();
    const QRect target(0, 0, 1440, 1440);
    QCOMPARE(edit.formatRange(nullptr, 0, target, true), -1);
    QCOMPARE(edit.formatRange(&image, -1, target, true), -1);
    QCOMPARE(edit.formatRange(&image, 0, QRect(0, 0, 0, 100), true), -1);
    QCOMPARE(edit.formatRange(&image, 0, target, true), 3);
    QCOMPARE(edit.formatRange(&image, 3, target, true), 3);
    RichEdit empty;
    QCOMPARE(empty.formatRange(&image, 0, target, false), 0);
}

QTEST_MAIN(tst_RichEdit)
#include "tst_RichEdit.moc"
