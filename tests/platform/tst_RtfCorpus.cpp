#include "TextRuns.h"
#include "platform/AppError.h"
#include "platform/RichEdit.h"
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QTextDocument>

using platform::rtf::RtfReader;
using platform::rtf::RtfWriter;

// Replays the fuzzing corpus through the reader: every input reads without
// harm, its text never outgrows it, and what the reader made of it survives
// the writer and the reader again unchanged.
class tst_RtfCorpus : public QObject {
    Q_OBJECT
private slots:
    void replay_data();
    void replay();
    void paginate_data() { replay_data(); }
    void paginate();
};

void tst_RtfCorpus::replay_data()
{
    QTest::addColumn<QString>("path");
    // QUILLET_RTF_CORPUS replays another folder, such as a fuzzer's working corpus.
    const QString other = qEnvironmentVariable("QUILLET_RTF_CORPUS");
    const QDir dir(other.isEmpty() ? QStringLiteral(CORPUS) : other);
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QString &name : files)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void tst_RtfCorpus::replay()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QTextDocument doc;
    RtfReader::read(data, doc);
    QVERIFY(doc.characterCount() <= data.size() + 1);

    QTextDocument again;
    QVERIFY(RtfReader::read(RtfWriter::write(doc), again));
    const QList<TextRuns::Paragraph> expected = TextRuns::of(doc);
    const QList<TextRuns::Paragraph> actual = TextRuns::of(again);
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(actual[i], expected[i]);
}

// Whatever the reader made of an input prints: every page makes progress and
// the pages end at the end of the text.
void tst_RtfCorpus::paginate()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    platform::RichEdit edit;
    try {
        edit.loadFromStream(file.readAll());
    } catch (const platform::AppError &) {
        return; // nothing loaded, nothing to print
    }
    QImage device(400, 400, QImage::Format_RGB32);
    device.fill(Qt::white);
    const QRect target(720, 720, 4320, 4320); // 3 inches square at half an inch
    const int length = edit.textLength();
    int start = 0;
    while (start < length) {
        const int next = edit.formatRange(&device, start, target, true);
        QVERIFY2(next > start,
                 qPrintable(QStringLiteral("stuck at %1 of %2").arg(start).arg(length)));
        QCOMPARE(edit.formatRange(&device, start, target, false), next);
        start = next;
    }
    QCOMPARE(start, length);
}

QTEST_MAIN(tst_RtfCorpus)
#include "tst_RtfCorpus.moc"
