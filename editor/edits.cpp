#include "edits.h"

#include "LeadingBlanks.h"
#include "TMemo.h"
#include "ToolbarIcons.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/Parking.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/SyntheticInput.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

TEditor *Editor = nullptr;

namespace {

constexpr int ToolbarHeight = 31;
constexpr int ButtonSize = 27;

// How long a key waits for the window to become active again after a dialog:
// on a busy desktop the window manager can take more than a second.
constexpr qint64 PendingKeyLifetimeMs = 3000;

QToolButton *flatButton(QWidget *parent, const char *name, int left, const QString &tip,
                        ToolbarGlyph glyph)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(left, (ToolbarHeight - ButtonSize) / 2, ButtonSize, ButtonSize);
    b->setIconSize(QSize(16, 16));
    b->setIcon(toolbarIcon(glyph));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

// The toolbar's text fields: a narrow sans serif at 8 points, the size the
// 127-pixel font box is laid out for, so that a face name as long as "Times
// New Roman" shows whole. ("Arial" is matched by a metric-compatible face
// where it is not installed.)
QFont toolbarFieldFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

} // namespace

// --- TEditor ---------------------------------------------------------------

std::function<void()> TEditor::guarded(void (TEditor::*handler)())
{
    // Errors of a command end in the standard error box and never unwind
    // through the toolkit's signal and event code.
    return [this, handler] { platform::runGuarded([this, handler] { (this->*handler)(); }); };
}

TEditor::TEditor(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Editor"));
    setWindowTitle(QStringLiteral("Quillet! Text Editor"));
    setWindowIcon(editorWindowIcon());
    resize(620, 370);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("Panel1"));
    toolbar->setFixedHeight(ToolbarHeight);
    layout->addWidget(toolbar);

    memo = new TMemo(this);
    memo->setObjectName(QStringLiteral("memo"));
    layout->addWidget(memo, 1);

    storememo = new platform::RichEdit(this);
    storememo->setObjectName(QStringLiteral("storememo"));
    storememo->hide();
    txtMemo = new QPlainTextEdit(this);
    txtMemo->setObjectName(QStringLiteral("txtMemo"));
    txtMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMemo->hide();

    buildToolbar();
    buildMenu();

    // The text area: Tab types a tab, the selection stays visible without
    // the focus, the popup menu is ours.
    memo->setTabChangesFocus(false);
    memo->setAcceptRichText(true);
    QPalette pal = memo->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    memo->setPalette(pal);
    memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(memo->viewport()->mapToGlobal(pos)); });
    memo->installEventFilter(this);
    connect(memo, &QTextEdit::cursorPositionChanged, this, guarded(&TEditor::memoSelectionChange));
    connect(memo, &QTextEdit::selectionChanged, this, guarded(&TEditor::memoSelectionChange));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, guarded(&TEditor::Timer1Timer));

    FormCreate();
}

TEditor::~TEditor()
{
    // Program end: a refused write is reported, never thrown out of here.
    try {
        FormDestroy();
    } catch (const std::exception &error) {
        platform::showErrorBox(QString::fromStdString(error.what()));
    }
    delete m_printDialog;
    delete m_printerSetupDialog;
    delete m_printer;
}

void TEditor::buildToolbar()
{
    QWidget *bar = findChild<QWidget *>(QStringLiteral("Panel1"));
    SpeedButton12 =
        flatButton(bar, "SpeedButton12", 3, QStringLiteral("Clear Editor"), ToolbarGlyph::Clear);
    SpeedButton9 =
        flatButton(bar, "SpeedButton9", 30, QStringLiteral("Open Document"), ToolbarGlyph::Open);
    cmdSave =
        flatButton(bar, "cmdSave", 57, QStringLiteral("Save Window Contents"), ToolbarGlyph::Save);
    SpeedButton1 = flatButton(bar, "SpeedButton1", 84, QStringLiteral("Print Window Contents"),
                              ToolbarGlyph::Print);
    SpeedButton2 = flatButton(bar, "SpeedButton2", 111, QStringLiteral("Printer Setup"),
                              ToolbarGlyph::PrinterSetup);
    SpeedButton3 =
        flatButton(bar, "SpeedButton3", 138, QStringLiteral("Close Window"), ToolbarGlyph::Close);
    boldbutton = flatButton(bar, "boldbutton", 170, QStringLiteral("Bold"), ToolbarGlyph::Bold);
    italicbutton =
        flatButton(bar, "italicbutton", 197, QStringLiteral("Italic"), ToolbarGlyph::Italic);
    underlinebutton = flatButton(bar, "underlinebutton", 224, QStringLiteral("Underline"),
                                 ToolbarGlyph::Underline);

    FontName = new QComboBox(bar);
    FontName->setObjectName(QStringLiteral("FontName"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->setMaxVisibleItems(20);
    FontName->setFocusPolicy(Qt::ClickFocus);
    FontName->setGeometry(256, 4, 127, ToolbarHeight - 8);
    // The face list and the two fields' smaller font come with the window's
    // first showing (completeToolbar()).

    FontSize = new QLineEdit(QStringLiteral("0"), bar);
    FontSize->setObjectName(QStringLiteral("FontSize"));
    FontSize->setFocusPolicy(Qt::ClickFocus);
    FontSize->setGeometry(387, 4, 23, ToolbarHeight - 8);
    FontSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FontSize->setTextMargins(0, 0, 0, 0);

    UpDown1 = new TUpDown(FontSize, 0, 100, bar);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(410, 4, 16, ToolbarHeight - 8);

    ColorBox = new TColorBox(bar);
    ColorBox->setObjectName(QStringLiteral("ColorBox"));
    ColorBox->setFocusPolicy(Qt::ClickFocus);
    ColorBox->setGeometry(429, (ToolbarHeight - ButtonSize) / 2, ButtonSize, ButtonSize);

    leftalign =
        flatButton(bar, "leftalign", 460, QStringLiteral("Left Align"), ToolbarGlyph::AlignLeft);
    centeralign = flatButton(bar, "centeralign", 487, QStringLiteral("Center Align"),
                             ToolbarGlyph::AlignCenter);
    rightalign =
        flatButton(bar, "rightalign", 514, QStringLiteral("Right Align"), ToolbarGlyph::AlignRight);
    BulletsButton =
        flatButton(bar, "BulletsButton", 541, QStringLiteral("Bullets"), ToolbarGlyph::Bullets);
    SpeedButton7 = flatButton(bar, "SpeedButton7", 570, QString(), ToolbarGlyph::MakeDefault);
    SpeedButton7->setGeometry(570, (ToolbarHeight - 25) / 2, 35, 25);

    for (QToolButton *b : {boldbutton, italicbutton, underlinebutton, BulletsButton, leftalign,
                           centeralign, rightalign})
        b->setCheckable(true);
    auto *alignment = new QButtonGroup(this);
    alignment->setExclusive(true);
    alignment->addButton(leftalign, 0);
    alignment->addButton(rightalign, 1);
    alignment->addButton(centeralign, 2);
    leftalign->setChecked(true);

    // A right-button press on a style button applies the default font instead.
    for (QToolButton *b : {boldbutton, italicbutton, underlinebutton})
        b->installEventFilter(this);

    connect(SpeedButton12, &QToolButton::clicked, this, guarded(&TEditor::SpeedButton12Click));
    connect(SpeedButton9, &QToolButton::clicked, this, guarded(&TEditor::SpeedButton9Click));
    auto hook = [](const std::function<void()> &command) {
        return [&command] {
            if (command)
                platform::runGuarded(command);
        };
    };
    connect(cmdSave, &QToolButton::clicked, this, hook(onSave));
    connect(SpeedButton1, &QToolButton::clicked, this, hook(onPrint));
    connect(SpeedButton2, &QToolButton::clicked, this, hook(onPageSetup));
    connect(SpeedButton3, &QToolButton::clicked, this, guarded(&TEditor::SpeedButton3Click));
    connect(boldbutton, &QToolButton::clicked, this, guarded(&TEditor::boldbuttonClick));
    connect(italicbutton, &QToolButton::clicked, this, guarded(&TEditor::italicbuttonClick));
    connect(underlinebutton, &QToolButton::clicked, this, guarded(&TEditor::underlinebuttonClick));
    connect(FontName, &QComboBox::activated, this, guarded(&TEditor::FontNameChange));
    connect(FontSize, &QLineEdit::textChanged, this, &TEditor::FontSizeChange);
    connect(ColorBox, &QToolButton::clicked, this, guarded(&TEditor::ColorBoxClick));
    connect(alignment, &QButtonGroup::buttonClicked, this, [this](QAbstractButton *b) {
        platform::runGuarded([this, b] { alignClick(static_cast<QToolButton *>(b)); });
    });
    connect(BulletsButton, &QToolButton::clicked, this, guarded(&TEditor::BulletsButtonClick));
    connect(SpeedButton7, &QToolButton::clicked, this, guarded(&TEditor::SpeedButton10Click));

    // Enter released in the face box or the size field moves the focus on.
    FontName->installEventFilter(this);
    FontName->lineEdit()->installEventFilter(this);
    FontSize->installEventFilter(this);
}

void TEditor::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(PopupMenu1, &QMenu::aboutToShow, this, guarded(&TEditor::PopupMenu1Popup));

    auto item = [this](const char *name, const QString &caption, void (TEditor::*handler)(),
                       const QKeySequence &shortcut = {}, bool shown = true) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        // The text area dispatches the shortcuts itself (see eventFilter).
        action->setShortcutContext(Qt::WidgetShortcut);
        if (handler)
            connect(action, &QAction::triggered, this, guarded(handler));
        PopupMenu1->addAction(action);
        action->setVisible(shown);
        return action;
    };
    const bool hidden = false;
    Undo1 = item("Undo1", QStringLiteral("Undo"), &TEditor::Undo1Click,
                 QKeySequence(QStringLiteral("Ctrl+Z")));
    PopupMenu1->addSeparator();
    cut1 = item("cut1", QStringLiteral("Cut"), &TEditor::cut1Click);
    copy1 = item("copy1", QStringLiteral("Copy"), &TEditor::copy1Click);
    Paste1 = item("Paste1", QStringLiteral("Paste"), &TEditor::Paste1Click);
    pastekeys1 = item("pastekeys1", QStringLiteral("paste keys"), &TEditor::Paste1Click,
                      QKeySequence(QStringLiteral("Ctrl+V")), hidden);
    PopupMenu1->addSeparator();
    WordWrap1 = item("WordWrap1", QStringLiteral("WordWrap"), &TEditor::WordWrap1Click);
    WordWrap1->setCheckable(true);
    PopupMenu1->addSeparator();
    Removeleadingspaces1 = item("Removeleadingspaces1", QStringLiteral("Remove leading spaces"),
                                &TEditor::Removeleadingspaces1Click);
    PopupMenu1->addSeparator();
    PlainFont2 = item("PlainFont2", QStringLiteral("Plain Font"), &TEditor::PlainFont1Click);
    PlainFont1 = item("PlainFont1", QStringLiteral("Plain Font"), &TEditor::PlainFont1Click,
                      QKeySequence(QStringLiteral("Ctrl+P")), hidden);
    Delete1 = item("Delete1", QStringLiteral("Delete"), &TEditor::Delete1Click);
    ClearAll1 = item("ClearAll1", QStringLiteral("Clear All"), &TEditor::ClearAll1Click);
    boldkey1 = item("boldkey1", QStringLiteral("bold key"), &TEditor::boldkey1Click,
                    QKeySequence(QStringLiteral("Ctrl+B")), hidden);
    italickey1 = item("italickey1", QStringLiteral("italic key"), &TEditor::italickey1Click,
                      QKeySequence(QStringLiteral("Ctrl+I")), hidden);
    underlinekey1 =
        item("underlinekey1", QStringLiteral("underline key"), &TEditor::underlinekey1Click,
             QKeySequence(QStringLiteral("Ctrl+U")), hidden);
    leftkey1 = item("leftkey1", QStringLiteral("left key"), &TEditor::leftkey1Click,
                    QKeySequence(QStringLiteral("Ctrl+L")), hidden);
    centerkey1 = item("centerkey1", QStringLiteral("center key"), &TEditor::centerkey1Click,
                      QKeySequence(QStringLiteral("Ctrl+E")), hidden);
    rightkey1 = item("rightkey1", QStringLiteral("right key"), &TEditor::rightkey1Click,
                     QKeySequence(QStringLiteral("Ctrl+R")), hidden);
    // Ctrl+J is taken so that the text area does nothing with it.
    jkey1 = item("jkey1", QStringLiteral("j key"), nullptr, QKeySequence(QStringLiteral("Ctrl+J")),
                 hidden);
    indentkey1 = item("indentkey1", QStringLiteral("indent key"), &TEditor::indentkey1Click,
                      QKeySequence(QStringLiteral("Ctrl+M")), hidden);
    outdentkey1 = item("outdentkey1", QStringLiteral("outdent key"), &TEditor::outdentkey1Click,
                       QKeySequence(QStringLiteral("Shift+Ctrl+M")), hidden);

    cut1->setEnabled(false);
    copy1->setEnabled(false);
    Delete1->setEnabled(false);
}

void TEditor::buildDialogs()
{
    // File dialogs are costly to make and most runs never show the editor, so
    // they are built when the editor is first shown.
    if (OpenDialog)
        return;
    OpenDialog = new QFileDialog(this, QStringLiteral("Open"));
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setNameFilters(
        {QStringLiteral("Rich Text files (*.rtf)"), QStringLiteral("Text files (*.txt)"),
         QStringLiteral("HTML files (*.htm*)"), QStringLiteral("All files (*)")});
    OpenDialog->setDefaultSuffix(QStringLiteral("txt"));
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);

    SaveDialog = new QFileDialog(this, QStringLiteral("Save As"));
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setNameFilters({QStringLiteral("Rich Text Format (*.rtf)"),
                                QStringLiteral("Text (*.txt)"), QStringLiteral("HTML (*.htm)"),
                                QStringLiteral("Any (*)")});
    SaveDialog->setDefaultSuffix(QStringLiteral("rtf"));
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    // The save action asks itself what to do with an existing file.
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite);
}

QPrinter *TEditor::printer()
{
    if (!m_printer)
        m_printer = new QPrinter(QPrinter::HighResolution);
    return m_printer;
}

QPrintDialog *TEditor::PrintDialog1()
{
    if (!m_printDialog) {
        m_printDialog = new QPrintDialog(printer(), this);
        m_printDialog->setObjectName(QStringLiteral("PrintDialog1"));
    }
    return m_printDialog;
}

QPrintDialog *TEditor::PrinterSetupDialog1()
{
    if (!m_printerSetupDialog) {
        m_printerSetupDialog = new QPrintDialog(printer(), this);
        m_printerSetupDialog->setObjectName(QStringLiteral("PrinterSetupDialog1"));
        m_printerSetupDialog->setWindowTitle(QStringLiteral("Print Setup"));
        m_printerSetupDialog->setOptions(QAbstractPrintDialog::PrintDialogOptions());
    }
    return m_printerSetupDialog;
}

void TEditor::FormCreate()
{
    // Created hidden, above the screen, until the placement timer moves it.
    move(x(), 5 - frameGeometry().height());

    if (!settings::read(IniFile::programIni(), settings::NoWordWrap).isEmpty())
        setWordWrap(false);

    memo->clear();
    fontit();
    Timer1->start();
}

void TEditor::Timer1Timer()
{
    Timer1->stop();
    const IniFile ini = IniFile::programIni();
    const int el = settings::read(ini, settings::EditorLeft);
    QRect outer;
    if (el == settings::NoStoredRect) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QSize size = frameGeometry().size();
        outer = QRect(screen.width() / 2 - size.width() / 2,
                      screen.height() / 2 - size.height() / 2, 620, size.height());
    } else {
        outer = QRect(el, settings::read(ini, settings::EditorTop),
                      settings::read(ini, settings::EditorWidth),
                      settings::read(ini, settings::EditorHeight));
    }
    // A window already shown (a capture in the first two seconds) is placed
    // but not parked: parking is for hidden windows only.
    const int park = isVisible() ? 0 : platform::ParkOffset;
    move(outer.left() - park, outer.top());
    const QSize frame = frameGeometry().size() - size();
    resize(outer.size() - frame);
    m_pendingOuterSize = outer.size();
}

void TEditor::FormDestroy()
{
    const IniFile ini = IniFile::programIni();
    if (isVisible()) {
        const QRect r = frameGeometry();
        settings::write(ini, settings::EditorLeft, r.left());
        settings::write(ini, settings::EditorTop, r.top());
        settings::write(ini, settings::EditorWidth, r.width());
        settings::write(ini, settings::EditorHeight, r.height());
    }
    settings::write(ini, settings::WordWrapAtExit, wordWrap());
}

bool TEditor::event(QEvent *event)
{
    // Sizes stored and restored are outer sizes; the frame's share is known
    // only once the window manager has framed the window.
    if (m_pendingOuterSize.isValid() && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::WindowActivate)) {
        const QSize frame = frameGeometry().size() - size();
        if (frame.width() > 0 || frame.height() > 0) {
            const QSize target = m_pendingOuterSize;
            m_pendingOuterSize = QSize();
            if (size() != target - frame)
                resize(target - frame);
        }
    }
    if (event->type() == QEvent::WindowActivate && m_pendingKey) {
        const quint16 key = m_pendingKey;
        m_pendingKey = 0;
        if (m_pendingKeyAge.elapsed() < PendingKeyLifetimeMs)
            pressKey(key);
    }
    return QWidget::event(event);
}

void TEditor::completeToolbar()
{
    if (FontName->count() > 0)
        return;
    // Setting a field's font lays its text out in it, which loads the font.
    FontName->setFont(toolbarFieldFont());
    FontSize->setFont(toolbarFieldFont());
    QStringList faces;
    for (const QString &family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family))
            faces.append(family);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(faces.begin(), faces.end(), collator);
    // Filling an empty box selects its first entry; showEvent() then shows
    // the face at the cursor again (memoSelectionChange()).
    FontName->addItems(faces);
}

void TEditor::showEvent(QShowEvent *event)
{
    // The face list and the fields' font, like the dialogs, are set up when
    // the window is first shown: a window that is never shown need not hold
    // them.
    buildDialogs();
    completeToolbar();
    QWidget::showEvent(event);
    // Brings the program's taskbar entry up and the window to the front.
    platform::services().appWindows().bringForward(this);
    memoSelectionChange();
}

void TEditor::parkAndHide()
{
    // Hidden first: a window manager may pull a visible window that is moved
    // off-screen back into view.
    hide();
    platform::services().appWindows().hideTaskbarEntry();
    platform::park(this);
}

void TEditor::closeEvent(QCloseEvent *event)
{
    event->ignore();
    parkAndHide();
}

void TEditor::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Minimising hides the window like closing it does; it comes back
        // in its normal state (see setVisible).
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                parkAndHide();
        });
    }
}

void TEditor::setVisible(bool visible)
{
    // A window hidden while minimised is restored as it is shown again. The
    // state is changed in the same step as the showing: changed while the
    // window is hidden, it would map the window without the toolkit knowing.
    if (visible && isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::setVisible(visible);
}

void TEditor::SpeedButton3Click()
{
    parkAndHide();
}

bool TEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == memo && event->type() == QEvent::KeyPress) {
        // The popup menu's items carry the text area's shortcuts, the
        // hidden ones included.
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action : PopupMenu1->actions()) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                if (action->isEnabled() || !action->isVisible())
                    action->activate(QAction::Trigger);
                return true;
            }
        }
    }
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        (watched == FontName || watched == FontName->lineEdit() || watched == FontSize)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            // Enter may also choose the face; its release alone moves the
            // focus on, so that only one Tab is pressed.
            m_enterHeld = event->type() == QEvent::KeyPress;
            if (!m_enterHeld)
                pressKey(platform::VkTab);
        }
    }
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == boldbutton || watched == italicbutton || watched == underlinebutton)) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
            platform::runGuarded([this] { applyDefaultFont(DefaultFontUse::RightClick); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TEditor::pressKey(quint16 virtualKey)
{
    // Through the desktop's input stream, so that the key reaches whichever
    // control has the focus by the time it arrives. Right after a dialog has
    // closed the desktop may not have given the focus back to this window
    // yet; the key then waits for the window to become active again (for a
    // moment only, so that it never lands long after the command).
    if (isVisible() && !isActiveWindow()) {
        m_pendingKey = virtualKey;
        m_pendingKeyAge.start();
        return;
    }
    platform::services().input().PostKeyEx32(virtualKey, 0, false);
}

// --- Editing -----------------------------------------------------------------

void TEditor::Undo1Click()
{
    if (memo)
        memo->undo();
}

void TEditor::cut1Click()
{
    memo->cut();
}

void TEditor::copy1Click()
{
    memo->copy();
}

void TEditor::Paste1Click()
{
    fontit();
    memo->paste();
    memoSelectionChange();
}

void TEditor::Delete1Click()
{
    memo->textCursor().removeSelectedText();
}

void TEditor::ClearAll1Click()
{
    memo->clear();
    fontit();
    memoSelectionChange();
}

void TEditor::SpeedButton12Click()
{
    ClearAll1Click();
}

void TEditor::PopupMenu1Popup()
{
    WordWrap1->setChecked(wordWrap());
    const bool selected = memo->textCursor().hasSelection();
    cut1->setEnabled(selected);
    copy1->setEnabled(selected);
    Delete1->setEnabled(selected);
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    Paste1->setEnabled(clip && clip->hasText());
}

bool TEditor::wordWrap() const
{
    return memo->lineWrapMode() != QTextEdit::NoWrap;
}

void TEditor::setWordWrap(bool on)
{
    memo->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TEditor::WordWrap1Click()
{
    setWordWrap(!wordWrap());
    WordWrap1->setChecked(wordWrap());
    if (wordWrap())
        pressKey(platform::VkHome);
}

void TEditor::Removeleadingspaces1Click()
{
    // Every line is rewritten without the blanks and control characters at
    // its start. The control replaces only what differs, so the rest of each
    // line keeps its own formatting; a line of any length is handled whole.
    const int caret = memo->textCursor().position();
    QTextCursor edit(memo->document());
    edit.beginEditBlock(); // one undo step for the whole command
    for (int i = 0; i < memo->lineCount(); ++i) {
        const QString text = memo->line(i);
        memo->replaceLine(i, text.mid(leadingBlankCount(text)));
    }
    edit.endEditBlock();
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(std::min(caret, memo->document()->characterCount() - 1));
    memo->setTextCursor(cursor);
}

// --- Documents ---------------------------------------------------------------

void TEditor::SpeedButton9Click()
{
    buildDialogs();
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    openDocument(QFileInfo(OpenDialog->selectedFiles().constFirst()).absoluteFilePath());
}

void TEditor::openDocument(const QString &fileName)
{
    memo->clear();
    fontit();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(fileName));
    memo->loadFromStream(file.readAll());
    QTextCursor cursor = memo->textCursor();
    cursor.movePosition(QTextCursor::Start);
    memo->setTextCursor(cursor);
    memoSelectionChange();
}
