// The windows a new user meets first, as the session's window manager
// (openbox) shows them: their title bars and buttons read back from the X
// server, the options dialog's hints shown by moving the real pointer, the
// standard error box, and the text editor's font box.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/printing.h"
#include "editor/edits.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "settings/fVisible.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace {

// The columns of `image` inside `area` that hold a pixel unlike the area's
// top-left one: the extent of what is drawn on a plain background.
std::pair<int, int> inkColumns(const QImage &image, const QRect &area)
{
    const QRgb background = image.pixel(area.topLeft());
    int left = -1, right = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (image.pixel(x, y) != background) {
                if (left < 0)
                    left = x;
                right = x;
                break;
            }
    return {left, right};
}

} // namespace

class tst_FirstWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void titleBars_data();
    void titleBars();
    void printingCaptionReadable();
    void optionHints_data();
    void optionHints();
    void errorBoxHasWarningIconAndPlainOk();
    void fontBoxShowsWholeFaceName_data();
    void fontBoxShowsWholeFaceName();

private:
    std::unique_ptr<TestFolder> m_folder;
};

void tst_FirstWindows::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    QCOMPARE(createForms(), -1);
}

void tst_FirstWindows::cleanup()
{
    QToolTip::hideText();
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_FirstWindows::titleBars_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("titleBar");
    QTest::addColumn<int>("buttons");

    // Minimise from the keyboard or a taskbar still hides the dialog, but
    // its title bar offers close alone.
    QTest::newRow("options dialog: close only") << "options" << true << 1;
    // Two seconds to cancel a print: nothing to close, move or shrink.
    QTest::newRow("Printing: no buttons") << "printing" << false << 0;
}

void tst_FirstWindows::titleBars()
{
    QFETCH(QString, window);
    QFETCH(bool, titleBar);
    QFETCH(int, buttons);
    QWidget *shown = nullptr;
    if (window == QLatin1String("options")) {
        TrayForm->options();
        shown = ViewableForm;
    } else {
        printit->show();
        shown = printit;
    }
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const qulonglong id = shown->winId();
    // The window manager frames the window once it has mapped it.
    QTRY_VERIFY(!Desktop::allowedActions(id).isEmpty());
    QTRY_COMPARE(Desktop::frameExtents(id).value(2) > 1, titleBar);
    QTRY_COMPARE(Desktop::titleBarButtons(id).size(), buttons);
    if (titleBar) {
        // Nor can the window manager's menu or keys minimise or maximise it.
        const QStringList actions = Desktop::allowedActions(id);
        QVERIFY2(!actions.contains("_NET_WM_ACTION_MINIMIZE") &&
                     !actions.contains("_NET_WM_ACTION_MAXIMIZE_HORZ"),
                 qPrintable(actions.join(' ')));
    }
    if (buttons > 0) {
        // The one button closes: the dialog hides.
        const QRect button = Desktop::titleBarButtons(id).value(0);
        Desktop::run(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QString::number(button.center().x()),
                      QString::number(button.center().y()), QStringLiteral("click"),
                      QStringLiteral("1")});
        QTRY_VERIFY(!shown->isVisible());
    }
}

void tst_FirstWindows::printingCaptionReadable()
{
    // The whole caption stands in the strip, clear of the window's edge.
    printit->show();
    QVERIFY(QTest::qWaitForWindowExposed(printit));
    const QRect caption = printit->captionRect();
    QVERIFY(caption.bottom() < printit->CancelButton->geometry().top());
    const QImage shot = printit->grab().toImage();
    const auto [left, right] = inkColumns(shot, caption.adjusted(1, 1, -1, -1));
    QFont bold = printit->font();
    bold.setBold(true);
    const int textWidth = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Printing ..."));
    QVERIFY2(left > 1 && right < caption.right() - 1 && right - left + 1 >= textWidth - 2,
             qPrintable(QStringLiteral("ink %1..%2 in a strip of %3, text %4 wide")
                            .arg(left)
                            .arg(right)
                            .arg(caption.width())
                            .arg(textWidth)));
    // Without a frame it still takes the keyboard: Esc on the real keyboard
    // cancels the print.
    PrintCancel.clear();
    platform::services().appWindows().bringToFront(printit);
    QTRY_COMPARE(Desktop::activeWindow(), qulonglong(printit->winId()));
    Desktop::run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_COMPARE(PrintCancel, QString("stop"));
    QVERIFY(!printit->isVisible());
    PrintCancel.clear();
    printit->show();
    QVERIFY(QTest::qWaitForWindowExposed(printit));
    // Centred on the screen, frame and all, once the window manager has
    // placed it (exposed may come first on a busy desktop).
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect onScreen;
    const auto centred = [&] {
        onScreen = Desktop::geometry(printit->winId());
        return qAbs(onScreen.center().x() - screen.center().x()) <= 1 &&
               qAbs(onScreen.center().y() - screen.center().y()) <= 1;
    };
    QTRY_VERIFY2(centred(), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                           .arg(onScreen.x())
                                           .arg(onScreen.y())
                                           .arg(onScreen.width())
                                           .arg(onScreen.height())));
}

void tst_FirstWindows::optionHints_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("hint");

    const QString seeQuestionMark = QStringLiteral("Click the ? button to the left.");
    QTest::newRow("cboLeftclick") << "cboLeftclick"
                                  << "What will QLT do when you left click the tray icon.";
    QTest::newRow("txtWait") << "txtWait" << seeQuestionMark;
    QTest::newRow("Action Wait Time label") << "Label4" << seeQuestionMark;
    QTest::newRow("chkWordwrap") << "chkWordwrap"
                                 << "Default settings for wordwrap in the integrated text editor.";
    QTest::newRow("chkLeadingspaces") << "chkLeadingspaces" << seeQuestionMark;
    QTest::newRow("chkprintdialog") << "chkprintdialog"
                                    << "Will QLT show the Print Dialog Box?";
    QTest::newRow("chkPromptTitle")
        << "chkPromptTitle"
        << "Will QLT ask for a bit of text to appear above the printed material?";
    QTest::newRow("chkpagenumbers") << "chkpagenumbers"
                                    << "Will QLT print page numbers?";
    QTest::newRow("txtHeader") << "txtHeader"
                               << "Text that will appear centered at top of all printed pages.";
}

void tst_FirstWindows::optionHints()
{
    QFETCH(QString, control);
    QFETCH(QString, hint);
    TrayForm->options();
    QVERIFY(QTest::qWaitForWindowExposed(ViewableForm));
    const QHash<QString, QWidget *> controls{
        {"cboLeftclick", ViewableForm->cboLeftclick},
        {"txtWait", ViewableForm->txtWait},
        {"chkWordwrap", ViewableForm->chkWordwrap},
        {"chkLeadingspaces", ViewableForm->chkLeadingspaces},
        {"chkprintdialog", ViewableForm->chkprintdialog},
        {"chkPromptTitle", ViewableForm->chkPromptTitle},
        {"chkpagenumbers", ViewableForm->chkpagenumbers},
        {"txtHeader", ViewableForm->txtHeader},
    };
    QWidget *target = controls.value(control);
    for (QLabel *label : ViewableForm->findChildren<QLabel *>())
        if (control == QLatin1String("Label4") &&
            label->text() == QLatin1String("Action Wait Time"))
            target = label;
    QVERIFY(target);
    // The real pointer: first off the dialog, then onto the control's middle.
    Desktop::moveMouse(1, 1);
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    // Aimed again whenever the control has moved: on a busy desktop the
    // window manager may still be placing the dialog.
    QPoint aimed;
    const auto hintShown = [&] {
        const QPoint middle = target->mapToGlobal(target->rect().center());
        if (middle != aimed) {
            Desktop::moveMouse(middle.x(), middle.y());
            aimed = middle;
        }
        return QToolTip::isVisible() && QToolTip::text() == hint;
    };
    QTRY_VERIFY_WITH_TIMEOUT(hintShown(), 10000);
}

void tst_FirstWindows::errorBoxHasWarningIconAndPlainOk()
{
    // An error passed to the one place that reports them.
    QString text;
    bool warningIcon = false;
    QStringList buttons;
    bool plain = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        watcher.stop();
        text = box->text();
        // The icon label shows the style's warning picture.
        const QPixmap warning = box->style()
                                    ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, box)
                                    .pixmap(box->iconPixmap().size());
        warningIcon =
            !box->iconPixmap().isNull() && box->iconPixmap().toImage() == warning.toImage();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text().remove(u'&');
        plain = box->buttons().size() == 1 && box->buttons()[0]->icon().isNull();
        box->buttons().value(0)->click();
    });
    watcher.start(50);
    platform::runGuarded([] { throw platform::AppError(QStringLiteral("Nothing to see here")); });
    QCOMPARE(text, QString("Nothing to see here"));
    QVERIFY(warningIcon);
    QCOMPARE(buttons, QStringList{"OK"});
    QVERIFY(plain);
}

void tst_FirstWindows::fontBoxShowsWholeFaceName_data()
{
    QTest::addColumn<QString>("face");
    QTest::newRow("Times New Roman") << "Times New Roman";
    QTest::newRow("Liberation Serif") << "Liberation Serif";
}

void tst_FirstWindows::fontBoxShowsWholeFaceName()
{
    QFETCH(QString, face);
    TrayForm->showEditor();
    QVERIFY(QTest::qWaitForWindowExposed(Editor));
    Editor->memo->setPlainText(QStringLiteral("Some words"));
    Editor->memo->selectAll();
    platform::CharAttributes a;
    a.face = face;
    Editor->memo->setSelAttributes(a, platform::CharFace);
    Editor->memoSelectionChange();
    QLineEdit *field = Editor->FontName->lineEdit();
    QCOMPARE(field->text(), face);
    // What the box draws spans the whole name, from a margin at its left.
    const QImage shot = field->grab().toImage();
    const auto [left, right] = inkColumns(shot, shot.rect().adjusted(0, 2, -1, -3));
    const int textWidth = field->fontMetrics().horizontalAdvance(face);
    QVERIFY2(left >= 0 && left <= 4 && right - left + 1 >= textWidth - 2 &&
                 right < shot.width() - 1,
             qPrintable(QStringLiteral("ink %1..%2 in a field %3 wide, text %4 wide")
                            .arg(left)
                            .arg(right)
                            .arg(shot.width())
                            .arg(textWidth)));
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_FirstWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FirstWindows.moc"
