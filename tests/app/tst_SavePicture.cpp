// "Save this now!" in screen mode on the test session's X server: the image
// editor's picture saved through the real save dialog, the file-exists prompt
// with only "Overwrite" and "Cancel", and the editor's save button.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/fexists.h"
#include "imaging/Editscreen.h"
#include "platform/ProgramFolder.h"
#include "tests/support/Answerer.h"
#include "tests/support/FileDialogInput.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

class tst_SavePicture : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        m_files = std::make_unique<TestFolder>();
        platform::setProgramFolderForTesting(m_folder->path());
        SaveAnswer.clear();
        QCOMPARE(createForms(), -1);
        TrayForm->CaptureText1->setChecked(false);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(qRgb(200, 10, 10));
        EditScreen->setPicture(picture);
    }

    void cleanup()
    {
        destroyForms();
        platform::setProgramFolderForTesting({});
        m_files.reset();
        m_folder.reset();
    }

    void saves_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("button"); // pressed on the file-exists prompt
        QTest::addColumn<bool>("viaEditor"); // the editor's save button, else the tray's Saver
        QTest::addColumn<bool>("written");

        QTest::newRow("new file") << false << "" << false << true;
        QTest::newRow("existing, Overwrite") << true << "Overwrite" << false << true;
        QTest::newRow("existing, Cancel") << true << "Cancel" << false << false;
        QTest::newRow("editor's save button") << true << "Overwrite" << true << true;
    }

    void saves()
    {
        QFETCH(bool, exists);
        QFETCH(QString, button);
        QFETCH(bool, viaEditor);
        QFETCH(bool, written);
        if (exists)
            m_files->write("shot.gif", "old bytes");
        Answerer dialog("SaveDialog1", [this](QWidget *w) {
            auto *d = qobject_cast<QFileDialog *>(w);
            d->setDirectory(m_files->path());
            typeFileName(d, "shot.gif");
            QTest::keyClick(d->findChild<QLineEdit *>("fileNameEdit"), Qt::Key_Return);
        });
        Answerer create("CreatePrompt", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Return); });
        bool addingOffered = true;
        Answerer prompt("saveprompt", [&](QWidget *) {
            addingOffered =
                saveprompt->AddToTop->isEnabled() || saveprompt->AddToBottom->isEnabled();
            (button == "Overwrite" ? saveprompt->Overwrite : saveprompt->Cancel)->click();
        });
        if (viaEditor)
            EditScreen->cmdSave->click();
        else
            TrayForm->Saver();
        QVERIFY(dialog.answered());
        QCOMPARE(prompt.answered(), exists);
        QCOMPARE(create.answered(), !exists);
        if (exists)
            QVERIFY(!addingOffered);
        QVERIFY(!QApplication::overrideCursor());
        if (!written) {
            QCOMPARE(m_files->read("shot.gif"), QByteArray("old bytes"));
            return;
        }
        QProcess identify;
        identify.start("/usr/bin/identify", {"-format", "%m %wx%h %k", m_files->file("shot.gif")});
        QVERIFY(identify.waitForFinished(30000));
        QCOMPARE(identify.readAllStandardOutput().trimmed(), QByteArray("GIF 40x30 1"));
    }

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<TestFolder> m_files;
};

QTEST_MAIN(tst_SavePicture)
#include "tst_SavePicture.moc"
