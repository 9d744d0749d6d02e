// The image editor's picture dialogs on a real X server: what the save
// dialog's name and filter write, the create prompt, the default extension,
// a refused GIF, and opening a file into the editor.
#include "codecs/SamplePictures.h"
#include "imaging/Editscreen.h"
#include "imaging/PictureFileDialogs.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/PictureFiles.h"
#include "tests/support/Answerer.h"
#include "tests/support/FileDialogInput.h"
#include "tests/support/TestFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

namespace {

QString identify(const QString &file)
{
    QProcess process;
    process.start("/usr/bin/identify", {"-format", "%m %wx%h", file});
    process.waitForFinished(60000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Bits per pixel and colour-table entries from a BMP file's header.
QString bmpDepth(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray h = f.read(54);
    const auto u = [&](int at) { return uchar(h[at]) | uchar(h[at + 1]) << 8; };
    return QStringLiteral("%1 bits, %2 colours").arg(u(28)).arg(u(46));
}

QImage flatPicture()
{
    return samples::toImage(samples::desktopFrame(80, 50, 100, 8));
}

} // namespace

class tst_PictureFileDialogs : public QObject {
    Q_OBJECT

    TestFolder m_folder;
    QWidget m_window;

    // Answers the save dialog by typing name (in the test folder) with the
    // filter of the given index and pressing Return, and the create prompt
    // with Return.
    QString saveAs(PictureFileDialogs &dialogs, const QString &name, int filter)
    {
        Answerer save("SaveDialog1", [&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            dialog->setDirectory(m_folder.path());
            auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
            types->setCurrentIndex(filter - 1);
            emit types->activated(filter - 1);
            typeFileName(dialog, name);
            QTest::keyClick(dialog->findChild<QLineEdit *>("fileNameEdit"), Qt::Key_Return);
        });
        Answerer create("CreatePrompt", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Return); });
        return dialogs.askSaveName();
    }

private slots:
    void dialogsAtStart()
    {
        PictureFileDialogs dialogs(&m_window);
        QStringList labels;
        auto *types = dialogs.SaveDialog1()->findChild<QComboBox *>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            labels << types->itemText(i);
        QCOMPARE(labels, QStringList({"All files", "256 Colors (.bmp)",
                                      "All Available Colors  (.bmp)", "GIF (.gif)", "JPG (.jpg)"}));
        QCOMPARE(dialogs.saveFilterIndex(), 3);
        QCOMPARE(dialogs.SaveDialog1()->windowTitle(), QStringLiteral("Save As"));
        QVERIFY(dialogs.OpenDialog1()->selectedNameFilter().startsWith("Bitmap files"));
        QCOMPARE(dialogs.OpenDialog1()->defaultSuffix(), QStringLiteral("bmp"));
    }

    void savesThroughTheDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("identified"); // format and size; or the message
        QTest::addColumn<QString>("depth");      // of a BMP

        QTest::newRow("bmp, all colours") << "a.bmp" << 3 << "a.bmp"
                                          << "BMP3 80x50"
                                          << "24 bits, 0 colours";
        QTest::newRow("bmp, 256 colours") << "b.bmp" << 2 << "b.bmp"
                                          << "BMP3 80x50"
                                          << "8 bits, 256 colours";
        QTest::newRow("bmp, all files") << "c.bmp" << 1 << "c.bmp"
                                        << "BMP3 80x50"
                                        << "8 bits, 256 colours";
        QTest::newRow("no extension gets bmp") << "d" << 3 << "d.bmp"
                                               << "BMP3 80x50"
                                               << "24 bits, 0 colours";
        QTest::newRow("BMP upper case") << "e.BMP" << 3 << "e.BMP"
                                        << "BMP3 80x50"
                                        << "24 bits, 0 colours";
        QTest::newRow("gif, bmp filter") << "f.gif" << 3 << "f.gif"
                                         << "GIF 80x50"
                                         << "";
        QTest::newRow("jpeg") << "g.jpeg" << 3 << "g.jpeg"
                              << "JPEG 80x50"
                              << "";
        QTest::newRow("png") << "h.png" << 3 << "h.png"
                             << "PNG 80x50"
                             << "";
        QTest::newRow("tiff") << "i.tiff" << 3 << "i.tiff"
                              << "Quillet cannot save pictures as \".tiff\" files"
                              << "";
    }

    void savesThroughTheDialog()
    {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        QFETCH(QString, file);
        QFETCH(QString, identified);
        QFETCH(QString, depth);
        PictureFileDialogs dialogs(&m_window);
        const QString name = saveAs(dialogs, typed, filter);
        QCOMPARE(name, m_folder.file(file));
        QString error;
        try {
            dialogs.write(flatPicture(), name);
        } catch (const codecs::CodecError &e) {
            error = e.message();
        }
        QVERIFY(!QApplication::overrideCursor());
        if (!error.isEmpty()) {
            QVERIFY2(error.startsWith(identified), qPrintable(error));
            QVERIFY(!QFile::exists(name));
            return;
        }
        QCOMPARE(identify(name), identified);
        if (!depth.isEmpty())
            QCOMPARE(bmpDepth(name), depth);
    }

    // More than 256 colours: the GIF save fails, the old file keeps its
    // bytes, the cursor is the arrow again; and after a save with the GIF
    // filter a name without extension gets ".gif".
    void gifOverflowAndDefaultExtension()
    {
        PictureFileDialogs dialogs(&m_window);
        m_folder.write("old.gif", "old bytes");
        const QString name = saveAs(dialogs, "old.gif", 4);
        QCOMPARE(name, m_folder.file("old.gif"));
        dialogs.updateDefaultExtension();
        QString error;
        try {
            dialogs.write(samples::desktopPicture(64, 64, 3), name);
        } catch (const codecs::CodecError &e) {
            error = e.message();
        }
        QCOMPARE(error, QStringLiteral("Color table overflow"));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_folder.read("old.gif"), QByteArray("old bytes"));
        QCOMPARE(saveAs(dialogs, "next", 1), m_folder.file("next.gif"));
    }

    // A 256-colour BMP opened through the open dialog is the picture that was
    // saved, 8 bits with its palette.
    void opensIntoTheEditor()
    {
        TEditScreen editor;
        PictureFileDialogs dialogs(&editor);
        const QImage picture = samples::desktopPicture(120, 90, 6);
        codecs::PictureFiles::save(picture, m_folder.file("round.bmp"),
                                   codecs::PictureFiles::Colours256Bmp);
        Answerer open("OpenDialog1", [&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            dialog->setDirectory(m_folder.path());
            typeFileName(dialog, "round.bmp");
            QTest::keyClick(dialog->findChild<QLineEdit *>("fileNameEdit"), Qt::Key_Return);
        });
        dialogs.Open(editor);
        QVERIFY(open.answered());
        const QImage opened = codecs::PictureFiles::open(m_folder.file("round.bmp"));
        QCOMPARE(opened.format(), QImage::Format_Indexed8);
        QCOMPARE(editor.picture().size(), picture.size());
        QCOMPARE(editor.picture().convertToFormat(QImage::Format_RGB32),
                 opened.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(tst_PictureFileDialogs)
#include "tst_PictureFileDialogs.moc"
