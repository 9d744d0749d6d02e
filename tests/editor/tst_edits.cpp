#include "editor/edits.h"

#include "editor/TMemo.h"

#include "app/QuilletApplication.h"
#include "app/TrayT1.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "settings/IniFile.h"
#include "tests/support/Desktop.h"
#include "tests/support/FileDialogInput.h"
#include "tests/support/TestFolder.h"

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString Font = QStringLiteral("Marlo*Venn");

// Runs `handle` on the modal dialogs that open, from inside their own event
// loops, until it reports that it has handled one.
class ModalHandler : public QObject {
public:
    explicit ModalHandler(std::function<bool(QWidget *)> handle) : m_handle(std::move(handle))
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            if (m_handle(modal)) {
                m_timer.stop();
                m_seen = true;
            }
        });
        m_timer.start();
    }
    bool seen() const { return m_seen; }

private:
    std::function<bool(QWidget *)> m_handle;
    QPointer<QWidget> m_last;
    QTimer m_timer;
    bool m_seen = false;
};

// Answers the next message box with `button` and records its texts.
struct BoxAnswer {
    QString title;
    QString text;
    std::unique_ptr<ModalHandler> handler;

    explicit BoxAnswer(QMessageBox::StandardButton button)
    {
        handler = std::make_unique<ModalHandler>([this, button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box)
                return false;
            title = box->windowTitle();
            text = box->text();
            // Clicked as a button is, not by a mouse event: a mouse event sent
            // while the box is still being shown can be lost, and the box
            // would then wait for ever.
            box->button(button)->click();
            return true;
        });
    }
};

// One key press through the X server, to the window that has the focus.
void realKey(const QString &keys)
{
    Desktop::run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

QTextCharFormat formatAt(QTextEdit *edit, int position)
{
    QTextCursor c(edit->document());
    c.setPosition(position + 1);
    return c.charFormat();
}

} // namespace

class tst_edits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void styleShortcuts_data();
    void styleShortcuts();
    void mixedStyleComesOutUniform();
    void rightClickAppliesDefaultFontKeepingStyle();
    void alignmentShortcuts_data();
    void alignmentShortcuts();
    void indentAndOutdent();
    void bullets();
    void ctrlJDoesNothing();
    void plainFontShortcut();
    void caretIntoBoldRefreshesOnly();
    void justifiedParagraphLeavesAlignmentButtons();
    void clearAllGivesDefaultFont();
    void makeDefault_data();
    void makeDefault();
    void makeDefaultNoChangesNothing();
    void styleWordsRead_data();
    void styleWordsRead();
    void fontSizeField();
    void fontSizeLettersShowError();
    void fontSizeSpinButtons();
    void fontNameChoice();
    void colorChoice();
    void selectionMarginSelectsLines();
    void popupMenuEnabling();
    void wordWrapToggle();
    void removeLeadingSpaces_data();
    void removeLeadingSpaces();
    void removeLeadingSpacesKeepsFormatting();
    void openDocument_data();
    void openDocument();
    void openThroughDialog();
    void openMissingFile();
    void pasteTakesDefaultFont();

    void placementAndProgramEnd();
    void minimiseHidesAndParks();
    void wwKeySwitchesWrapOff();

private:
    void focusMemo();
    void typeText(const QString &text);

    TEditor *m_editor = nullptr;
    std::unique_ptr<TestFolder> m_folder;
};

void tst_edits::initTestCase()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    m_editor = new TEditor;
    Editor = m_editor;
    m_editor->move(40, 60);
    platform::services().appWindows().bringToFront(m_editor);
    QVERIFY(QTest::qWaitForWindowActive(m_editor));
    // The placement timer runs once; let it pass before the tests move on.
    QTRY_VERIFY_WITH_TIMEOUT(!m_editor->Timer1->isActive(), 5000);
}

void tst_edits::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    if (!m_editor->isVisible() || !m_editor->isActiveWindow()) {
        TrayForm->showEditor();
        QVERIFY(QTest::qWaitForWindowActive(m_editor));
    }
    m_editor->setWordWrap(true);
    m_editor->ClearAll1Click();
    focusMemo();
}

void tst_edits::cleanup()
{
    platform::setProgramFolderForTesting({});
}

void tst_edits::cleanupTestCase()
{
    // Deleting writes the settings file; point it somewhere harmless.
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    delete m_editor;
    Editor = nullptr;
    platform::setProgramFolderForTesting({});
}

void tst_edits::focusMemo()
{
    // A busy window manager may pass over an activation request: ask again
    // until the text area has the focus.
    QVERIFY(QTest::qWaitFor(
        [this] {
            if (!m_editor->isActiveWindow())
                m_editor->activateWindow();
            m_editor->memo->setFocus();
            return m_editor->memo->hasFocus();
        },
        20000));
}

void tst_edits::typeText(const QString &text)
{
    QTest::keyClicks(m_editor->memo, text);
}

void tst_edits::styleShortcuts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Ctrl+B") << "ctrl+b"
                            << "boldbutton";
    QTest::newRow("Ctrl+I") << "ctrl+i"
                            << "italicbutton";
    QTest::newRow("Ctrl+U") << "ctrl+u"
                            << "underlinebutton";
}

void tst_edits::styleShortcuts()
{
    QFETCH(QString, key);
    QFETCH(QString, button);
    auto *b = m_editor->findChild<QToolButton *>(button);
    QVERIFY(b);
    typeText(QStringLiteral("some words"));
    m_editor->memo->selectAll();
    QVERIFY(!b->isChecked());

    auto has = [&](int pos) {
        const platform::CharAttributes a = [&] {
            QTextCursor c = m_editor->memo->textCursor();
            c.setPosition(pos);
            c.setPosition(pos + 1, QTextCursor::KeepAnchor);
            m_editor->memo->setTextCursor(c);
            return m_editor->memo->selAttributes();
        }();
        return button == u"boldbutton"     ? a.bold
               : button == u"italicbutton" ? a.italic
                                           : a.underline;
    };

    realKey(key);
    QTRY_VERIFY(b->isChecked());
    QVERIFY(has(0));
    QVERIFY(has(9));

    m_editor->memo->selectAll();
    QVERIFY(b->isChecked());
    realKey(key);
    QTRY_VERIFY(!b->isChecked());
    QVERIFY(!has(0));
    QVERIFY(!has(9));
}

void tst_edits::mixedStyleComesOutUniform()
{
    QTextCursor c = m_editor->memo->textCursor();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("heavy"), bold);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    plain.setFontUnderline(true);
    c.insertText(QStringLiteral(" light"), plain);
    m_editor->memo->selectAll();

    realKey(QStringLiteral("ctrl+i"));
    QTRY_VERIFY(m_editor->italicbutton->isChecked());
    const QTextCharFormat first = formatAt(m_editor->memo, 0);
    for (int i = 0; i < 11; ++i) {
        const QTextCharFormat f = formatAt(m_editor->memo, i);
        QVERIFY2(f.fontItalic(), qPrintable(QString::number(i)));
        QCOMPARE(f.fontWeight(), first.fontWeight());
        QCOMPARE(f.fontUnderline(), first.fontUnderline());
    }
}

void tst_edits::rightClickAppliesDefaultFontKeepingStyle()
{
    IniFile::programIni().writeString(Font, "Tname", "DejaVu Sans");
    IniFile::programIni().writeInteger(Font, "Tsize", 17);
    QTextCursor c = m_editor->memo->textCursor();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontFamilies(QStringList{QStringLiteral("Liberation Mono")});
    c.insertText(QStringLiteral("styled"), bold);
    m_editor->memo->selectAll();
    QVERIFY(m_editor->boldbutton->isChecked());

    QTest::mouseClick(m_editor->boldbutton, Qt::RightButton);
    const platform::CharAttributes a = m_editor->memo->selAttributes();
    QCOMPARE(a.face, QStringLiteral("DejaVu Sans"));
    QCOMPARE(a.size, 17);
    QVERIFY(a.bold); // "Tstyle" absent: the style stays
    QVERIFY(m_editor->boldbutton->isChecked());
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("17"));
}

void tst_edits::alignmentShortcuts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("button");
    QTest::newRow("Ctrl+E") << "ctrl+e" << int(platform::ParaAlignment::Center) << "centeralign";
    QTest::newRow("Ctrl+R") << "ctrl+r" << int(platform::ParaAlignment::Right) << "rightalign";
    QTest::newRow("Ctrl+L") << "ctrl+l" << int(platform::ParaAlignment::Left) << "leftalign";
}

void tst_edits::alignmentShortcuts()
{
    QFETCH(QString, key);
    QFETCH(int, alignment);
    QFETCH(QString, button);
    typeText(QStringLiteral("a paragraph"));
    // Start from an alignment other than the one the key sets.
    const bool toRight = alignment != int(platform::ParaAlignment::Right);
    m_editor->memo->setParaAlignment(toRight ? platform::ParaAlignment::Right
                                             : platform::ParaAlignment::Left);
    m_editor->memoSelectionChange();
    realKey(key);
    QTRY_COMPARE(int(m_editor->memo->paraAlignment()), alignment);
    auto *b = m_editor->findChild<QToolButton *>(button);
    QTRY_VERIFY(b->isChecked());
    int down = 0;
    for (QToolButton *x : {m_editor->leftalign, m_editor->centeralign, m_editor->rightalign})
        down += x->isChecked() ? 1 : 0;
    QCOMPARE(down, 1);
}

void tst_edits::indentAndOutdent()
{
    typeText(QStringLiteral("indented"));
    QCOMPARE(m_editor->memo->paraFirstIndentPt(), 0.0);
    realKey(QStringLiteral("ctrl+m"));
    QTRY_COMPARE(m_editor->memo->paraFirstIndentPt(), 20.0);
    realKey(QStringLiteral("ctrl+m"));
    QTRY_COMPARE(m_editor->memo->paraFirstIndentPt(), 40.0);
    for (int i = 0; i < 3; ++i)
        realKey(QStringLiteral("shift+ctrl+m"));
    // No lower limit: below zero goes to the control as it is.
    QTRY_COMPARE(m_editor->memo->paraFirstIndentPt(), -20.0);
}

void tst_edits::bullets()
{
    typeText(QStringLiteral("item"));
    QTest::keyClick(m_editor->memo, Qt::Key_Return);
    typeText(QStringLiteral("plain"));
    QTextCursor c = m_editor->memo->textCursor();
    c.movePosition(QTextCursor::Start);
    m_editor->memo->setTextCursor(c);
    QVERIFY(!m_editor->BulletsButton->isChecked());
    QTest::mouseClick(m_editor->BulletsButton, Qt::LeftButton);
    QVERIFY(m_editor->memo->paraBullets());
    QVERIFY(m_editor->BulletsButton->isChecked());

    // The caret in the other paragraph puts the button up, and back down.
    realKey(QStringLiteral("ctrl+End"));
    QTRY_VERIFY(!m_editor->BulletsButton->isChecked());
    QVERIFY(!m_editor->memo->paraBullets());
    realKey(QStringLiteral("ctrl+Home"));
    QTRY_VERIFY(m_editor->BulletsButton->isChecked());
    QTest::mouseClick(m_editor->BulletsButton, Qt::LeftButton);
    QVERIFY(!m_editor->memo->paraBullets());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("item\nplain"));
}

void tst_edits::ctrlJDoesNothing()
{
    typeText(QStringLiteral("line one"));
    const QString before = m_editor->memo->toHtml();
    const int caret = m_editor->memo->textCursor().position();
    realKey(QStringLiteral("ctrl+j"));
    // A later key proves the first one has been handled.
    realKey(QStringLiteral("ctrl+b"));
    QTRY_VERIFY(m_editor->boldbutton->isChecked());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("line one"));
    QCOMPARE(m_editor->memo->textCursor().position(), caret);
    QCOMPARE(m_editor->memo->toHtml(), before);
}

void tst_edits::plainFontShortcut()
{
    QTextCursor c = m_editor->memo->textCursor();
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    f.setFontItalic(true);
    f.setFontFamilies(QStringList{QStringLiteral("DejaVu Sans")});
    f.setFontPointSize(30);
    f.setForeground(Qt::red);
    c.insertText(QStringLiteral("loud text"), f);
    m_editor->memo->selectAll();

    realKey(QStringLiteral("ctrl+p"));
    QTRY_VERIFY(!m_editor->boldbutton->isChecked());
    for (int i = 0; i < 9; ++i) {
        const QTextCharFormat g = formatAt(m_editor->memo, i);
        QVERIFY(g.fontWeight() <= QFont::Normal);
        QVERIFY(!g.fontItalic());
        QCOMPARE(g.fontPointSize(), 12.0);
        QCOMPARE(g.fontFamilies().toStringList().value(0), QStringLiteral("Times New Roman"));
        QCOMPARE(g.foreground().color(), QColor(Qt::black));
    }
    QCOMPARE(m_editor->memo->textCursor().selectedText(), QStringLiteral("loud text"));
}

void tst_edits::caretIntoBoldRefreshesOnly()
{
    QTextCursor c = m_editor->memo->textCursor();
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("ab"), plain);
    c.insertText(QStringLiteral("CDE"), bold);
    c.insertText(QStringLiteral("fg"), plain);
    c.setPosition(1);
    m_editor->memo->setTextCursor(c);
    QVERIFY(!m_editor->boldbutton->isChecked());
    const QString before = m_editor->memo->toHtml();

    realKey(QStringLiteral("Right"));
    realKey(QStringLiteral("Right"));
    QTRY_COMPARE(m_editor->memo->textCursor().position(), 3);
    QVERIFY(m_editor->boldbutton->isChecked());
    QCOMPARE(m_editor->memo->toHtml(), before);
    realKey(QStringLiteral("End"));
    QTRY_COMPARE(m_editor->memo->textCursor().position(), 7);
    QVERIFY(!m_editor->boldbutton->isChecked());
    QCOMPARE(m_editor->memo->toHtml(), before);
}

void tst_edits::justifiedParagraphLeavesAlignmentButtons()
{
    typeText(QStringLiteral("centred"));
    QTest::keyClick(m_editor->memo, Qt::Key_Return);
    typeText(QStringLiteral("justified"));
    m_editor->memo->setParaAlignment(platform::ParaAlignment::Justify);
    QTextCursor c = m_editor->memo->textCursor();
    c.movePosition(QTextCursor::Start);
    m_editor->memo->setTextCursor(c);
    m_editor->memo->setParaAlignment(platform::ParaAlignment::Center);
    m_editor->memoSelectionChange();
    QVERIFY(m_editor->centeralign->isChecked());

    realKey(QStringLiteral("ctrl+End"));
    QTRY_COMPARE(m_editor->memo->textCursor().block().blockNumber(), 1);
    QCOMPARE(m_editor->memo->paraAlignment(), platform::ParaAlignment::Justify);
    QVERIFY(m_editor->centeralign->isChecked());
    QVERIFY(!m_editor->leftalign->isChecked());
}

void tst_edits::clearAllGivesDefaultFont()
{
    // No settings file at all.
    QVERIFY(!QFile::exists(m_folder->iniPath()));
    typeText(QStringLiteral("old"));
    QTest::mouseClick(m_editor->SpeedButton12, Qt::LeftButton);
    QCOMPARE(m_editor->memo->toPlainText(), QString());
    focusMemo();
    realKey(QStringLiteral("x"));
    realKey(QStringLiteral("y"));
    QTRY_COMPARE(m_editor->memo->toPlainText(), QStringLiteral("xy"));
    const QTextCharFormat f = formatAt(m_editor->memo, 1);
    QCOMPARE(f.fontFamilies().toStringList().value(0), QStringLiteral("Times New Roman"));
    QCOMPARE(QFontInfo(f.font()).family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(f.fontPointSize(), 12.0);
    QCOMPARE(f.foreground().color(), QColor(Qt::black));
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("12"));
    QCOMPARE(m_editor->FontName->currentText(), QStringLiteral("Times New Roman"));
    QVERIFY(!QFile::exists(m_folder->iniPath()));
}

void tst_edits::makeDefault_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<bool>("strike");
    QTest::addColumn<QString>("word");
    QTest::newRow("bold italic") << true << true << false << false << "bolditalic";
    QTest::newRow("underline") << false << false << true << false << "underline";
    QTest::newRow("regular") << false << false << false << false << "regular";
    QTest::newRow("all three") << true << true << true << false << "bolditalicunderline";
    QTest::newRow("strike-out") << true << false << false << true << "";
}

void tst_edits::makeDefault()
{
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(bool, strike);
    QFETCH(QString, word);

    QTextCharFormat f;
    f.setFontFamilies(QStringList{QStringLiteral("DejaVu Sans")});
    f.setFontPointSize(19);
    f.setForeground(QColor(0x12, 0x34, 0x56));
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    f.setFontUnderline(underline);
    f.setFontStrikeOut(strike);
    m_editor->memo->textCursor().insertText(QStringLiteral("sample"), f);
    m_editor->memo->selectAll();

    BoxAnswer answer(QMessageBox::Yes);
    QTest::mouseClick(m_editor->SpeedButton7, Qt::LeftButton);
    QTRY_VERIFY(answer.handler->seen());
    QCOMPARE(answer.title, QStringLiteral("Confirm"));
    QCOMPARE(answer.text, QStringLiteral("Make current font settings the default?"));

    const IniFile ini = IniFile::programIni();
    QCOMPARE(ini.readString(Font, "Tname", {}), QStringLiteral("DejaVu Sans"));
    QCOMPARE(ini.readString(Font, "Tsize", {}), QStringLiteral("19"));
    QCOMPARE(ini.readString(Font, "Tcolor", {}), QString::number(0x563412));
    QCOMPARE(ini.readString(Font, "Tstyle", QStringLiteral("absent")), word);

    // Read back: text typed after "Clear All" takes the stored font.
    m_editor->ClearAll1Click();
    focusMemo();
    typeText(QStringLiteral("new"));
    const QTextCharFormat g = formatAt(m_editor->memo, 1);
    QCOMPARE(g.fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Sans"));
    QCOMPARE(g.fontPointSize(), 19.0);
    QCOMPARE(g.foreground().color(), QColor(0x12, 0x34, 0x56));
    if (!word.isEmpty()) {
        QCOMPARE(g.fontWeight() >= QFont::Bold, bold);
        QCOMPARE(g.fontItalic(), italic);
        QCOMPARE(g.fontUnderline(), underline);
    }
}

void tst_edits::makeDefaultNoChangesNothing()
{
    typeText(QStringLiteral("sample"));
    m_editor->memo->selectAll();
    BoxAnswer answer(QMessageBox::No);
    QTest::mouseClick(m_editor->SpeedButton7, Qt::LeftButton);
    QTRY_VERIFY(answer.handler->seen());
    QVERIFY(!QFile::exists(m_folder->iniPath()));
}

void tst_edits::styleWordsRead_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    // A word outside the table (or spelled differently) keeps the style: the
    // text here starts italic and underlined.
    QTest::newRow("bold") << "bold" << true << false << false;
    QTest::newRow("boldunderline") << "boldunderline" << true << false << true;
    QTest::newRow("italicunderline") << "italicunderline" << false << true << true;
    QTest::newRow("capitalised") << "Bold" << false << true << true;
    QTest::newRow("unknown") << "heavy" << false << true << true;
}

void tst_edits::styleWordsRead()
{
    QFETCH(QString, word);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    IniFile::programIni().writeString(Font, "Tstyle", word);
    QTextCharFormat f;
    f.setFontItalic(true);
    f.setFontUnderline(true);
    m_editor->memo->textCursor().insertText(QStringLiteral("styled"), f);
    m_editor->memo->selectAll();
    m_editor->PlainFont1Click();
    const platform::CharAttributes a = m_editor->memo->selAttributes();
    QCOMPARE(a.bold, bold);
    QCOMPARE(a.italic, italic);
    QCOMPARE(a.underline, underline);
}

void tst_edits::fontSizeField()
{
    typeText(QStringLiteral("sized"));
    m_editor->memo->selectAll();
    QTest::mouseClick(m_editor->FontSize, Qt::LeftButton);
    QTRY_VERIFY(m_editor->FontSize->hasFocus());
    m_editor->FontSize->selectAll();
    QTest::keyClicks(m_editor->FontSize, QStringLiteral("24"));
    QCOMPARE(m_editor->memo->selAttributes().size, 24);
    // Enter moves the focus on (a Tab key press through the desktop).
    QTest::keyClick(m_editor->FontSize, Qt::Key_Return);
    QTRY_VERIFY(!m_editor->FontSize->hasFocus());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("sized"));
}

void tst_edits::fontSizeLettersShowError()
{
    typeText(QStringLiteral("sized"));
    m_editor->memo->selectAll();
    const QString before = m_editor->memo->toHtml();
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::mouseClick(m_editor->FontSize, Qt::LeftButton);
    QTRY_VERIFY(m_editor->FontSize->hasFocus());
    m_editor->FontSize->selectAll();

    BoxAnswer answer(QMessageBox::Ok);
    realKey(QStringLiteral("ctrl+v"));
    QTRY_VERIFY(answer.handler->seen());
    QTRY_COMPARE(answer.text, QStringLiteral("'abc' is not a valid integer value"));
    QCOMPARE(answer.title, QStringLiteral("Quillet!"));
    QCOMPARE(m_editor->memo->toHtml(), before);
    QCOMPARE(m_editor->memo->selAttributes().size, 12);
}

void tst_edits::fontSizeSpinButtons()
{
    typeText(QStringLiteral("spun"));
    m_editor->memo->selectAll();
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("12"));
    m_editor->UpDown1->step(1);
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("13"));
    QCOMPARE(m_editor->memo->selAttributes().size, 13);
    // Arrow keys in the field work the same way.
    QTest::mouseClick(m_editor->FontSize, Qt::LeftButton);
    QTRY_VERIFY(m_editor->FontSize->hasFocus());
    realKey(QStringLiteral("Down"));
    realKey(QStringLiteral("Down"));
    QTRY_COMPARE(m_editor->FontSize->text(), QStringLiteral("11"));
    QCOMPARE(m_editor->memo->selAttributes().size, 11);
    // The range ends at 100.
    m_editor->FontSize->setText(QStringLiteral("100"));
    m_editor->UpDown1->step(1);
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("100"));
}

void tst_edits::fontNameChoice()
{
    typeText(QStringLiteral("faced"));
    m_editor->memo->selectAll();
    QComboBox *box = m_editor->FontName;
    // The list holds the screen's faces, sorted.
    QVERIFY(box->count() > 3);
    for (int i = 1; i < box->count(); ++i)
        QVERIFY(box->itemText(i - 1).compare(box->itemText(i), Qt::CaseInsensitive) <= 0);
    const int mono = box->findText(QStringLiteral("DejaVu Sans Mono"));
    QVERIFY(mono >= 0);

    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    QTRY_VERIFY(box->lineEdit()->hasFocus());
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("DejaVu Sans Mono"));
    // Typing alone changes nothing; Enter takes the entry and leaves the box.
    QCOMPARE(m_editor->memo->selAttributes().face, QStringLiteral("Times New Roman"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(m_editor->memo->selAttributes().face, QStringLiteral("DejaVu Sans Mono"));
    QTRY_VERIFY(m_editor->memo->hasFocus());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("faced"));
}

void tst_edits::selectionMarginSelectsLines()
{
    m_editor->memo->setPlainText(QStringLiteral("first line\nsecond line\nthird line"));
    auto *memo = static_cast<TMemo *>(m_editor->memo);
    QWidget *margin = memo->selectionMargin();
    QVERIFY(margin->isVisible());
    QTextCursor second(memo->document()->findBlockByNumber(1));
    const int y = memo->cursorRect(second).center().y();
    const QPoint at = margin->mapTo(m_editor, QPoint(TMemo::MarginWidth / 2, y));
    Desktop::click(m_editor->winId(), at.x(), at.y());
    QTRY_COMPARE(memo->textCursor().selectedText(), QStringLiteral("second line\u2029"));

    // Dragging down the margin extends the selection by whole lines.
    QTextCursor third(memo->document()->findBlockByNumber(2));
    const QPoint to = margin->mapTo(m_editor, QPoint(2, memo->cursorRect(third).center().y()));
    QTest::mousePress(margin, Qt::LeftButton, {}, QPoint(2, y));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, margin->mapFrom(m_editor, to).y()),
                     margin->mapToGlobal(QPointF(2, margin->mapFrom(m_editor, to).y())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(margin, &move);
    QTest::mouseRelease(margin, Qt::LeftButton, {}, margin->mapFrom(m_editor, to));
    QCOMPARE(memo->textCursor().selectedText(), QStringLiteral("second line\u2029third line"));
}

void tst_edits::colorChoice()
{
    typeText(QStringLiteral("coloured"));
    m_editor->memo->selectAll();
    QColor offered;
    ModalHandler pick([&](QWidget *w) {
        auto *dialog = qobject_cast<QColorDialog *>(w);
        if (!dialog)
            return false;
        offered = dialog->currentColor();
        dialog->setCurrentColor(QColor(0x20, 0x80, 0x40));
        dialog->accept();
        return true;
    });
    const QPoint at = m_editor->ColorBox->mapTo(m_editor, QPoint(13, 13));
    // The click travels through the X server and the window manager, and the
    // dialog is built on it: on a busy machine that takes longer than QTRY's
    // default, and a dialog arriving after the test gave up would block the
    // tests that follow.
    Desktop::click(m_editor->winId(), at.x(), at.y());
    QTRY_VERIFY_WITH_TIMEOUT(pick.seen(), 60000);
    QCOMPARE(offered, QColor(Qt::black)); // the button's colour is preselected
    QTRY_COMPARE(m_editor->memo->selAttributes().color, QColor(0x20, 0x80, 0x40));
    QCOMPARE(m_editor->ColorBox->colorValue(), 0x408020);
    // The Tab key press moves the focus on to the text area, which keeps its text
    // (once the window manager has given the focus back to the editor).
    QTRY_VERIFY_WITH_TIMEOUT(m_editor->memo->hasFocus(), 10000);
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("coloured"));

    // Cancel changes nothing. The click must not land on the closed dialog's
    // frame while the window manager is still taking it down: wait until the
    // editor is the active window again.
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(QTest::qWaitForWindowActive(m_editor, 30000));
    ModalHandler cancel([](QWidget *w) {
        static_cast<QDialog *>(w)->reject();
        return true;
    });
    Desktop::click(m_editor->winId(), at.x(), at.y());
    QTRY_VERIFY_WITH_TIMEOUT(cancel.seen(), 60000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(m_editor->memo->selAttributes().color, QColor(0x20, 0x80, 0x40));
    QCOMPARE(m_editor->ColorBox->colorValue(), 0x408020);
}

void tst_edits::popupMenuEnabling()
{
    typeText(QStringLiteral("menu"));
    QGuiApplication::clipboard()->clear();
    m_editor->PopupMenu1Popup();
    QVERIFY(!m_editor->cut1->isEnabled());
    QVERIFY(!m_editor->copy1->isEnabled());
    QVERIFY(!m_editor->Delete1->isEnabled());
    QVERIFY(!m_editor->Paste1->isEnabled());
    QVERIFY(m_editor->Undo1->isEnabled());
    QVERIFY(m_editor->WordWrap1->isChecked());

    m_editor->memo->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    m_editor->setWordWrap(false);
    // Open the menu with a real right click in the text area.
    const QPoint at = m_editor->memo->viewport()->mapTo(m_editor->window(), QPoint(40, 10));
    QSignalSpy shown(m_editor->PopupMenu1, &QMenu::aboutToShow);
    Desktop::click(m_editor->winId(), at.x(), at.y(), 3);
    QTRY_VERIFY(m_editor->PopupMenu1->isVisible());
    QVERIFY(m_editor->cut1->isEnabled());
    QVERIFY(m_editor->copy1->isEnabled());
    QVERIFY(m_editor->Delete1->isEnabled());
    QVERIFY(m_editor->Paste1->isEnabled());
    QVERIFY(!m_editor->WordWrap1->isChecked());
    // The hidden items stay out of sight.
    for (QAction *a : {m_editor->pastekeys1, m_editor->PlainFont1, m_editor->boldkey1,
                       m_editor->jkey1, m_editor->outdentkey1})
        QVERIFY(m_editor->PopupMenu1->actionGeometry(a).isEmpty());
    m_editor->PopupMenu1->hide();
    m_editor->setWordWrap(true);
}

void tst_edits::wordWrapToggle()
{
    typeText(QStringLiteral("wrapped text"));
    m_editor->WordWrap1->trigger();
    QVERIFY(!m_editor->wordWrap());
    QCOMPARE(m_editor->memo->lineWrapMode(), QTextEdit::NoWrap);
    // Switching it on presses Home in the text area.
    QCOMPARE(m_editor->memo->textCursor().position(), 12);
    m_editor->WordWrap1->trigger();
    QVERIFY(m_editor->wordWrap());
    QTRY_COMPARE(m_editor->memo->textCursor().position(), 0);
    QVERIFY(!QFile::exists(m_folder->iniPath()));
}

void tst_edits::removeLeadingSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << "  one\n   two\nthree"
                            << "one\ntwo\nthree";
    QTest::newRow("tabs") << "\t\tone\n \t two"
                          << "one\ntwo";
    QTest::newRow("blank lines") << "a\n   \n\n b"
                                 << "a\n\n\nb";
    QTest::newRow("inner blanks kept") << "  a  b  "
                                       << "a  b  ";
    const QString tail = QString(9000, u'x') + QStringLiteral("END");
    QTest::newRow("line over 8192")
        << QStringLiteral("    ") + tail + QStringLiteral("\n  z") << tail + QStringLiteral("\nz");
}

void tst_edits::removeLeadingSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    m_editor->setWordWrap(false);
    m_editor->memo->setPlainText(text);
    QTextCursor c = m_editor->memo->textCursor();
    c.setPosition(2);
    m_editor->memo->setTextCursor(c);
    m_editor->Removeleadingspaces1Click();
    QCOMPARE(m_editor->memo->toPlainText(), expected);
    QCOMPARE(m_editor->memo->textCursor().position(), 2);
    // One undo step brings it all back.
    m_editor->Undo1Click();
    QCOMPARE(m_editor->memo->toPlainText(), text);
}

void tst_edits::removeLeadingSpacesKeepsFormatting()
{
    QTextCursor c = m_editor->memo->textCursor();
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral(" \t plain "), plain);
    c.insertText(QStringLiteral("bold"), bold);
    m_editor->Removeleadingspaces1Click();
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("plain bold"));
    QVERIFY(formatAt(m_editor->memo, 0).fontWeight() <= QFont::Normal);
    QCOMPARE(formatAt(m_editor->memo, 7).fontWeight(), int(QFont::Bold));
}

void tst_edits::openDocument_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("face"); // of the first character
    QTest::addColumn<int>("boldAt");   // a bold character, or -1 for none
    QTest::newRow("rtf") << "doc.rtf"
                         << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs28 "
                                       "plain \\b bold\\b0  end\\par}")
                         << "plain bold end"
                         << "DejaVu Sans" << 6;
    QTest::newRow("plain text") << "notes.txt" << QByteArray("first line\nsecond line\n")
                                << "first line\nsecond line\n"
                                << "Liberation Mono" << -1;
    QTest::newRow("html source") << "page.html" << QByteArray("<html><body><b>x</b></body></html>")
                                 << "<html><body><b>x</b></body></html>"
                                 << "Liberation Mono" << -1;
}

void tst_edits::openDocument()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QFETCH(QString, face);
    QFETCH(int, boldAt);
    IniFile::programIni().writeString(Font, "Tname", "Liberation Mono");
    m_folder->write(name, content);
    typeText(QStringLiteral("previous"));

    m_editor->openDocument(m_folder->file(name));
    QCOMPARE(m_editor->memo->toPlainText(), text);
    QCOMPARE(m_editor->memo->textCursor().position(), 0);
    QCOMPARE(formatAt(m_editor->memo, 0).fontFamilies().toStringList().value(0), face);
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n')
            continue;
        const bool bold = formatAt(m_editor->memo, i).fontWeight() >= QFont::Bold;
        QCOMPARE(bold, boldAt >= 0 && i >= boldAt && i < boldAt + 4);
    }
}

// Chooses `path` in the editor's open dialog, typing it into the name field.
static std::unique_ptr<ModalHandler> chooseInOpenDialog(const QString &path)
{
    return std::make_unique<ModalHandler>([path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog || dialog->windowTitle() != u"Open")
            return false;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name)
            return false;
        // While the folder is read in the background, the dialog rewrites the
        // name field (with the names it selects, or empty after a folder
        // change), so an entry can be lost: enter the path and confirm it
        // until the dialog takes it, for up to ten seconds.
        const bool taken = QTest::qWaitFor(
            [&] {
                typeFileName(dialog, path);
                QTest::keyClick(name, Qt::Key_Return);
                return !dialog->isVisible();
            },
            10000);
        // A dialog still open here would block the test for good: close it,
        // and let the test's own checks report the miss.
        if (!taken) {
            qWarning("the open dialog did not accept %s", qPrintable(path));
            dialog->reject();
        }
        return true;
    });
}

void tst_edits::openThroughDialog()
{
    m_folder->write(QStringLiteral("chosen.txt"), "from the dialog");
    auto pick = chooseInOpenDialog(m_folder->file(QStringLiteral("chosen.txt")));
    QTest::mouseClick(m_editor->SpeedButton9, Qt::LeftButton);
    QTRY_VERIFY(pick->seen());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("from the dialog"));

    // Cancel leaves the text as it is.
    ModalHandler cancel([](QWidget *w) {
        static_cast<QDialog *>(w)->reject();
        return true;
    });
    QTest::mouseClick(m_editor->SpeedButton9, Qt::LeftButton);
    QTRY_VERIFY(cancel.seen());
    QCOMPARE(m_editor->memo->toPlainText(), QStringLiteral("from the dialog"));

    // A file that is neither RTF nor text: the standard error box, and the
    // text area has been cleared.
    m_folder->write(QStringLiteral("binary.dat"), QByteArray("MZ\0\0\x90\x01", 6));
    auto binary = chooseInOpenDialog(m_folder->file(QStringLiteral("binary.dat")));
    BoxAnswer error(QMessageBox::Ok);
    QTest::mouseClick(m_editor->SpeedButton9, Qt::LeftButton);
    QTRY_VERIFY(error.handler->seen());
    QVERIFY(binary->seen());
    QCOMPARE(error.text, QStringLiteral("Failed to Load Stream"));
    QCOMPARE(m_editor->memo->toPlainText(), QString());
}

void tst_edits::openMissingFile()
{
    typeText(QStringLiteral("previous"));
    const QString path = m_folder->file(QStringLiteral("gone.rtf"));
    try {
        m_editor->openDocument(path);
        QFAIL("no error");
    } catch (const platform::AppError &error) {
        QCOMPARE(error.message(), QStringLiteral("Cannot open file ") + path);
    }
    // The text area was cleared before the file was tried.
    QCOMPARE(m_editor->memo->toPlainText(), QString());
}

void tst_edits::pasteTakesDefaultFont()
{
    IniFile::programIni().writeString(Font, "Tname", "DejaVu Serif");
    IniFile::programIni().writeInteger(Font, "Tsize", 14);
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    typeText(QStringLiteral("ab"));
    realKey(QStringLiteral("ctrl+v"));
    QTRY_COMPARE(m_editor->memo->toPlainText(), QStringLiteral("abpasted"));
    const QTextCharFormat f = formatAt(m_editor->memo, 4);
    QCOMPARE(f.fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Serif"));
    QCOMPARE(f.fontPointSize(), 14.0);
    QCOMPARE(m_editor->FontSize->text(), QStringLiteral("14"));
}

void tst_edits::placementAndProgramEnd()
{
    m_editor->SpeedButton3Click();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();

    // First start, no settings file: centred, 620 wide, parked.
    TEditor *editor = new TEditor;
    Editor = editor;
    QTRY_VERIFY_WITH_TIMEOUT(editor->x() < -4000, 5000);
    QCOMPARE(editor->x(), screen.width() / 2 - 620 / 2 - 5000);

    TrayForm->ViewEditor1Click();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    const qulonglong window = editor->winId();
    QTRY_COMPARE(Desktop::geometry(window).left(), screen.width() / 2 - 620 / 2);
    QTRY_COMPARE(Desktop::geometry(window).width(), 620);

    editor->move(100, 120);
    editor->resize(500, 300);
    QTRY_COMPARE(Desktop::geometry(window).topLeft(), QPoint(100, 120));
    QTRY_COMPARE(Desktop::geometry(window).size(), editor->frameGeometry().size());
    const QRect placed = Desktop::geometry(window);

    // "Close Window", then "View Editor": back where it was.
    const QPoint close = editor->SpeedButton3->mapTo(editor, QPoint(13, 13));
    Desktop::click(window, close.x(), close.y());
    QTRY_VERIFY(!editor->isVisible());
    QCOMPARE(editor->x(), 100 - 5000);
    TrayForm->ViewEditor1Click();
    QTRY_VERIFY(editor->isVisible());
    QTRY_COMPARE(Desktop::geometry(editor->winId()), placed);

    // Program end with the window visible and word wrap off.
    editor->setWordWrap(false);
    delete editor;
    Editor = nullptr;
    IniFile ini = IniFile::programIni();
    QCOMPARE(ini.readInteger("Tamsel", "el", 0), placed.left());
    QCOMPARE(ini.readInteger("Tamsel", "et", 0), placed.top());
    QCOMPARE(ini.readInteger("Tamsel", "ew", 0), placed.width());
    QCOMPARE(ini.readInteger("Tamsel", "eh", 0), placed.height());
    QCOMPARE(ini.readString("Settings", "wrap", "absent"), QString());

    // Next start: the stored rectangle comes back (parked until shown).
    editor = new TEditor;
    Editor = editor;
    QTRY_VERIFY_WITH_TIMEOUT(editor->x() < -4000, 5000);
    QCOMPARE(editor->x(), placed.left() - 5000);
    TrayForm->ViewEditor1Click();
    QTRY_VERIFY(editor->isVisible());
    QTRY_COMPARE(Desktop::geometry(editor->winId()), placed);

    // Closed by the title bar's button: hidden and parked, not destroyed.
    editor->close();
    QTRY_VERIFY(!editor->isVisible());
    QCOMPARE(editor->x(), placed.left() - 5000);
    // A hidden window leaves the stored rectangle alone; "wrap" is written.
    ini.writeInteger("Tamsel", "el", 555);
    delete editor;
    Editor = nullptr;
    QCOMPARE(ini.readInteger("Tamsel", "el", 0), 555);
    QCOMPARE(ini.readString("Settings", "wrap", "absent"), QStringLiteral("aye"));
    Editor = m_editor;
}

void tst_edits::minimiseHidesAndParks()
{
    QVERIFY(QTest::qWaitForWindowActive(m_editor));
    const QRect placed = Desktop::geometry(m_editor->winId());
    const int left = m_editor->x();
    Desktop::run(QStringLiteral("xdotool"),
                 {QStringLiteral("windowminimize"), QString::number(m_editor->winId())});
    QTRY_VERIFY(!m_editor->isVisible());
    QTRY_COMPARE(m_editor->x(), left - 5000);
    // The toolkit takes a moment to let go of the focus of a window that is
    // no longer on screen; a user clicking "View Editor" comes later.
    QTRY_VERIFY(QGuiApplication::focusWindow() != m_editor->windowHandle());
    TrayForm->ViewEditor1Click();
    QTRY_VERIFY(m_editor->isVisible());
    QVERIFY(!m_editor->isMinimized());
    QTRY_COMPARE(Desktop::geometry(m_editor->winId()), placed);
}

void tst_edits::wwKeySwitchesWrapOff()
{
    m_editor->SpeedButton3Click();
    IniFile::programIni().writeString("Settings", "ww", "yes");
    {
        TEditor editor;
        QVERIFY(!editor.wordWrap());
    }
    IniFile::programIni().writeString("Settings", "ww", "");
    {
        TEditor editor;
        QVERIFY(editor.wordWrap());
    }
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    TrayForm = new TTrayForm;
    tst_edits test;
    const int result = QTest::qExec(&test, argc, argv);
    delete TrayForm;
    return result;
}

#include "tst_edits.moc"
