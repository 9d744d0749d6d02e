// The path label: splitting a path, the shortened caption (with a fixed
// width per character, so every case is exact), and the label widget
// recomputing its text when the path, separator, direction or size change.
#include "app/FileLbl.h"

#include <QtTest>

namespace {
// Ten pixels per character.
int tenEach(const QString &piece)
{
    return static_cast<int>(piece.size()) * 10;
}
} // namespace

class tst_FileLbl : public QObject {
    Q_OBJECT
private slots:
    void splitting_data();
    void splitting();
    void caption_data();
    void caption();
    void labelFollowsPropertiesAndSize();
};

void tst_FileLbl::splitting_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<bool>("drive");
    QTest::newRow("drive, folders, name") << "C:\\a\\b\\n.txt"
                                          << "\\" << QStringList{"C:", "a", "b", "n.txt"} << true;
    QTest::newRow("ends with separator") << "C:\\a\\"
                                         << "\\" << QStringList{"C:", "a", ""} << true;
    QTest::newRow("network path") << "\\\\srv\\n"
                                  << "\\" << QStringList{"", "", "srv", "n"} << false;
    QTest::newRow("one-letter first part") << "A\\n"
                                           << "\\" << QStringList{"A", "n"} << false;
    QTest::newRow("colon alone") << ":\\n"
                                 << "\\" << QStringList{":", "n"} << false;
    QTest::newRow("Linux path") << "/home/n"
                                << "/" << QStringList{"", "home", "n"} << false;
    QTest::newRow("multi-character separator") << "C:->a-b->n"
                                               << "->" << QStringList{"C:", "a-b", "n"} << true;
    QTest::newRow("empty separator") << "C:\\a"
                                     << "" << QStringList{"C:\\a"} << false;
    QTest::newRow("empty path") << ""
                                << "\\" << QStringList{""} << false;
}

void tst_FileLbl::splitting()
{
    QFETCH(QString, fileName);
    QFETCH(QString, separator);
    QFETCH(QStringList, parts);
    QFETCH(bool, drive);
    const FilePathParts split = splitFilePath(fileName, separator);
    QCOMPARE(split.parts, parts);
    QCOMPARE(split.drive, drive);
}

void tst_FileLbl::caption_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("fromLeft");
    QTest::addColumn<QString>("fromRight");
    const QString path = "C:\\F1\\F2\\F3\\F4\\N"; // 160 px
    // The file name and "...\" take 50 px, the drive 30 more; a folder with
    // its separator is 30 px.
    QTest::newRow("fits exactly") << path << "\\" << 160 << path << path;
    QTest::newRow("one folder fits exactly") << path << "\\" << 110 << "C:\\...\\F4\\N"
                                             << "C:\\F1\\...\\N";
    QTest::newRow("two folders fit") << path << "\\" << 140 << "C:\\...\\F3\\F4\\N"
                                     << "C:\\F1\\F2\\...\\N";
    QTest::newRow("one pixel short of a folder") << path << "\\" << 109 << "C:\\...\\N"
                                                 << "C:\\...\\N";
    QTest::newRow("drive reaches the width") << path << "\\" << 80 << "...\\N"
                                             << "...\\N";
    QTest::newRow("drive fits, no folder") << path << "\\" << 81 << "C:\\...\\N"
                                           << "C:\\...\\N";
    QTest::newRow("name and elision reach the width") << path << "\\" << 50 << "N"
                                                      << "N";
    QTest::newRow("name wider than the label") << "C:\\F1\\LongName"
                                               << "\\" << 40 << "LongName"
                                               << "LongName";
    QTest::newRow("no separator") << "LongFileName"
                                  << "\\" << 50 << "LongFileName"
                                  << "LongFileName";
    // Not a drive: the elision may start at the very beginning.
    QTest::newRow("one-letter first part") << "A\\F1\\F2\\N"
                                           << "\\" << 80 << "...\\F2\\N"
                                           << "A\\...\\N";
    QTest::newRow("network path") << "\\\\srv\\share\\N"
                                  << "\\" << 110 << "...\\share\\N"
                                  << "\\\\srv\\...\\N";
    QTest::newRow("multi-character separator, too narrow for a folder")
        << "C:->F1->F2->F3->N"
        << "->" << 139 << "C:->...->N"
        << "C:->...->N";
    QTest::newRow("multi-character separator") << "C:->F1->F2->F3->N"
                                               << "->" << 140 << "C:->...->F3->N"
                                               << "C:->F1->...->N";
    QTest::newRow("empty path") << ""
                                << "\\" << 0 << ""
                                << "";
}

void tst_FileLbl::caption()
{
    QFETCH(QString, fileName);
    QFETCH(QString, separator);
    QFETCH(int, width);
    QFETCH(QString, fromLeft);
    QFETCH(QString, fromRight);
    const FilePathParts split = splitFilePath(fileName, separator);
    QCOMPARE(fileLabelCaption(fileName, separator, split, drFromLeft, width, tenEach), fromLeft);
    QCOMPARE(fileLabelCaption(fileName, separator, split, drFromRight, width, tenEach), fromRight);
    // A direction that is neither keeps the caption it had once folders
    // would be chosen.
    if (fromLeft != fromRight)
        QCOMPARE(fileLabelCaption(fileName, separator, split, 2, width, tenEach, "before"),
                 QString("before"));
}

void tst_FileLbl::labelFollowsPropertiesAndSize()
{
    TFileLabel label;
    // Shown, so that a new size reaches the label at once.
    label.show();
    QCOMPARE(label.Separator(), QString("\\"));
    QCOMPARE(label.Direction(), int(drFromLeft));
    const QFontMetrics metrics = label.fontMetrics();
    const QString path = "/home/user/Documents/Letters/2026/december-minutes.txt";
    label.resize(metrics.horizontalAdvance(path), 17);
    label.setFileName(path);
    // Still split at "\": one piece, which fits.
    QCOMPARE(label.text(), path);
    label.setSeparator("/");
    QCOMPARE(label.text(), path);

    // Each piece is measured on its own.
    const auto widthOf = [&metrics](const QStringList &pieces) {
        int sum = 0;
        for (const QString &piece : pieces)
            sum += metrics.horizontalAdvance(piece);
        return sum;
    };
    const QString name = "december-minutes.txt";
    label.resize(widthOf({"2026/", ".../", name}), 17);
    QCOMPARE(label.text(), ".../2026/" + name);
    label.setDirection(drFromRight);
    QVERIFY2(label.text().startsWith("/") && label.text().endsWith(".../" + name),
             qPrintable(label.text()));
    label.setDirection(drFromLeft);
    QCOMPARE(label.text(), ".../2026/" + name);
    // Widening brings folders back; the text is the whole path once it fits.
    label.resize(widthOf({"Letters/2026/", ".../", name}), 17);
    QCOMPARE(label.text(), ".../Letters/2026/" + name);
    label.resize(metrics.horizontalAdvance(path), 17);
    QCOMPARE(label.text(), path);

    // Setting a value it already has changes nothing, not even a text set
    // behind the label's back.
    label.setText("untouched");
    label.setFileName(path);
    label.setSeparator("/");
    label.setDirection(drFromLeft);
    QCOMPARE(label.text(), QString("untouched"));
    // A path is never read as markup.
    QCOMPARE(label.textFormat(), Qt::PlainText);
}

QTEST_MAIN(tst_FileLbl)
#include "tst_FileLbl.moc"
