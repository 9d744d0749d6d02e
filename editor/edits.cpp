#include "edits.h"

#include "TMemo.h"
#include "ToolbarIcons.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/SyntheticInput.h"
#include "settings/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QCollator>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

TEditor *Editor = nullptr;

namespace {

const QString Main = QStringLiteral("Settings");
const QString WindowRect = QStringLiteral("Tamsel");
const QString DefaultFont = QStringLiteral("Marlo*Venn");

// A hidden editor lies this far left of its place; one whose left edge is
// below the threshold is moved back before it is shown.
constexpr int ParkOffset = 5000;
constexpr int ParkedThreshold = -4000;
constexpr int NoStoredRect = -1000;

constexpr int ToolbarHeight = 31;
constexpr int ButtonSize = 27;
constexpr int IndentStep = 20; // points

constexpr qint64 PendingKeyLifetimeMs = 1000;
constexpr quint16 VkTab = 9;
constexpr quint16 VkHome = 36;

// Set while the toolbar shows the selection's format, so that the controls'
// change events do not write that format back.
bool s_refreshing = false;

class RefreshGuard {
public:
    RefreshGuard() { s_refreshing = true; }
    ~RefreshGuard() { s_refreshing = false; }
    RefreshGuard(const RefreshGuard &) = delete;
    RefreshGuard &operator=(const RefreshGuard &) = delete;
};

struct Style {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// The style words of the settings file, indexed by bold + 2 italic + 4 underline.
const char *const StyleWords[] = {
    "regular",   "bold",          "italic",          "bolditalic",
    "underline", "boldunderline", "italicunderline", "bolditalicunderline",
};

QString styleWord(const platform::CharAttributes &a)
{
    // A style with strike-out has no word of its own.
    if (a.strikeOut)
        return {};
    return QLatin1String(StyleWords[(a.bold ? 1 : 0) + (a.italic ? 2 : 0) + (a.underline ? 4 : 0)]);
}

std::optional<Style> styleOfWord(const QString &word)
{
    for (int i = 0; i < 8; ++i) {
        if (word == QLatin1String(StyleWords[i]))
            return Style{(i & 1) != 0, (i & 2) != 0, (i & 4) != 0};
    }
    return std::nullopt;
}

int colorValue(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

QColor windowTextColor()
{
    return QApplication::palette().color(QPalette::Text);
}

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

} // namespace

// --- TColorBox -------------------------------------------------------------

TColorBox::TColorBox(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
}

void TColorBox::setColorValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

QColor TColorBox::color() const
{
    // System colours have the high bit set; the only one we store is the
    // window-text colour.
    if (m_value < 0)
        return windowTextColor();
    return QColor(m_value & 0xff, (m_value >> 8) & 0xff, (m_value >> 16) & 0xff);
}

void TColorBox::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    QPainter p(this);
    const QRect swatch = rect().adjusted(6, 6, -6, -6);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(color());
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

// --- TUpDown ---------------------------------------------------------------

TUpDown::TUpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_buddy(buddy), m_min(minimum), m_max(maximum)
{
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {m_up, m_down}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    m_buddy->installEventFilter(this);
}

void TUpDown::step(int delta)
{
    // Start from the number the field shows; when it shows none, from the
    // last position the buttons set.
    bool ok = false;
    const int shown = m_buddy->text().toInt(&ok);
    if (ok)
        m_position = std::clamp(shown, m_min, m_max);
    const int next = std::clamp(m_position + delta, m_min, m_max);
    if (next == m_position && ok)
        return;
    m_position = next;
    m_buddy->setText(QString::number(next));
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                step(1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                step(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

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

    QStringList faces;
    for (const QString &family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family))
            faces.append(family);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(faces.begin(), faces.end(), collator);
    FontName->addItems(faces);

    if (!IniFile::programIni().readString(Main, QStringLiteral("ww"), {}).isEmpty())
        setWordWrap(false);

    memo->clear();
    fontit();
    Timer1->start();
}

void TEditor::Timer1Timer()
{
    Timer1->stop();
    const IniFile ini = IniFile::programIni();
    const int el = ini.readInteger(WindowRect, QStringLiteral("el"), NoStoredRect);
    QRect outer;
    if (el == NoStoredRect) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QSize size = frameGeometry().size();
        outer = QRect(screen.width() / 2 - size.width() / 2,
                      screen.height() / 2 - size.height() / 2, 620, size.height());
    } else {
        outer = QRect(el, ini.readInteger(WindowRect, QStringLiteral("et"), NoStoredRect),
                      ini.readInteger(WindowRect, QStringLiteral("ew"), NoStoredRect),
                      ini.readInteger(WindowRect, QStringLiteral("eh"), NoStoredRect));
    }
    // A window already shown (a capture in the first two seconds) is placed
    // but not parked: parking is for hidden windows only.
    const int park = isVisible() ? 0 : ParkOffset;
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
        ini.writeInteger(WindowRect, QStringLiteral("el"), r.left());
        ini.writeInteger(WindowRect, QStringLiteral("et"), r.top());
        ini.writeInteger(WindowRect, QStringLiteral("ew"), r.width());
        ini.writeInteger(WindowRect, QStringLiteral("eh"), r.height());
    }
    ini.writeString(Main, QStringLiteral("wrap"), wordWrap() ? QStringLiteral("aye") : QString());
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

void TEditor::showEvent(QShowEvent *event)
{
    buildDialogs();
    QWidget::showEvent(event);
    // Brings the program's taskbar entry up and the window to the front.
    auto &windows = platform::services().appWindows();
    windows.minimizeTaskbarEntry();
    windows.restoreTaskbarEntry();
    windows.bringToFront(this);
    memoSelectionChange();
}

void TEditor::parkAndHide()
{
    // Hidden first: a window manager may pull a visible window that is moved
    // off-screen back into view.
    hide();
    platform::services().appWindows().hideTaskbarEntry();
    move(x() - ParkOffset, y());
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
                pressKey(VkTab);
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

// --- Format of the selection -----------------------------------------------

bool TEditor::refreshing()
{
    return s_refreshing;
}

void TEditor::memoSelectionChange()
{
    const RefreshGuard guard;
    const platform::CharAttributes a = memo->selAttributes();
    boldbutton->setChecked(a.bold);
    italicbutton->setChecked(a.italic);
    underlinebutton->setChecked(a.underline);
    BulletsButton->setChecked(memo->paraBullets());
    FontSize->setText(QString::number(a.size));
    const int index = FontName->findText(a.face, Qt::MatchFixedString);
    FontName->setCurrentIndex(index);
    if (index < 0)
        FontName->setEditText(a.face);
    ColorBox->setColorValue(a.autoColor ? TColorBox::AutoColor : colorValue(a.color));
    switch (memo->paraAlignment()) {
    case platform::ParaAlignment::Left:
        leftalign->setChecked(true);
        break;
    case platform::ParaAlignment::Right:
        rightalign->setChecked(true);
        break;
    case platform::ParaAlignment::Center:
        centeralign->setChecked(true);
        break;
    case platform::ParaAlignment::Justify:
        break; // the buttons stay as they were
    }
}

void TEditor::styleButtonClick(QToolButton *button)
{
    if (s_refreshing)
        return;
    // The whole style set is written back, so a selection of mixed style
    // comes out uniform.
    platform::CharAttributes a = memo->selAttributes();
    const bool down = button->isChecked();
    if (button == boldbutton)
        a.bold = down;
    else if (button == italicbutton)
        a.italic = down;
    else
        a.underline = down;
    memo->setSelAttributes(a, platform::CharStyle);
    memoSelectionChange();
}

void TEditor::boldbuttonClick()
{
    styleButtonClick(boldbutton);
}

void TEditor::italicbuttonClick()
{
    styleButtonClick(italicbutton);
}

void TEditor::underlinebuttonClick()
{
    styleButtonClick(underlinebutton);
}

void TEditor::flipAndRun(QToolButton *button, void (TEditor::*command)())
{
    button->setChecked(!button->isChecked());
    (this->*command)();
}

void TEditor::boldkey1Click()
{
    flipAndRun(boldbutton, &TEditor::boldbuttonClick);
}

void TEditor::italickey1Click()
{
    flipAndRun(italicbutton, &TEditor::italicbuttonClick);
}

void TEditor::underlinekey1Click()
{
    flipAndRun(underlinebutton, &TEditor::underlinebuttonClick);
}

void TEditor::FontNameChange()
{
    if (s_refreshing)
        return;
    const int index = FontName->currentIndex();
    if (index >= 0) {
        platform::CharAttributes a;
        a.face = FontName->itemText(index);
        memo->setSelAttributes(a, platform::CharFace);
    }
    if (!m_enterHeld)
        pressKey(VkTab);
}

void TEditor::FontSizeChange()
{
    if (s_refreshing)
        return;
    const QString text = FontSize->text();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int size = text.toInt(&ok);
    if (!ok) {
        // Reported once the field has finished its own change handling.
        QMetaObject::invokeMethod(
            this,
            [text] {
                throw platform::AppError(
                    QStringLiteral("'%1' is not a valid integer value").arg(text));
            },
            Qt::QueuedConnection);
        return;
    }
    // A size below one point would make the text invisible: it is not applied.
    if (size < 1)
        return;
    platform::CharAttributes a;
    a.size = size;
    memo->setSelAttributes(a, platform::CharSize);
}

void TEditor::ColorBoxClick()
{
    const QColor chosen = QColorDialog::getColor(ColorBox->color(), this);
    if (!chosen.isValid())
        return;
    ColorBox->setColorValue(colorValue(chosen));
    platform::CharAttributes a;
    a.color = chosen;
    memo->setSelAttributes(a, platform::CharColor);
    pressKey(VkTab);
}

void TEditor::setAlignment(int code)
{
    switch (code) {
    case 1:
        memo->setParaAlignment(platform::ParaAlignment::Right);
        break;
    case 2:
        memo->setParaAlignment(platform::ParaAlignment::Center);
        break;
    default:
        memo->setParaAlignment(platform::ParaAlignment::Left);
        break;
    }
}

void TEditor::alignClick(QToolButton *button)
{
    if (s_refreshing)
        return;
    setAlignment(button == rightalign ? 1 : button == centeralign ? 2 : 0);
}

void TEditor::leftkey1Click()
{
    setAlignment(0);
    memoSelectionChange();
}

void TEditor::centerkey1Click()
{
    setAlignment(2);
    memoSelectionChange();
}

void TEditor::rightkey1Click()
{
    setAlignment(1);
    memoSelectionChange();
}

void TEditor::BulletsButtonClick()
{
    if (s_refreshing)
        return;
    memo->setParaBullets(BulletsButton->isChecked());
}

void TEditor::indentBy(double points)
{
    memo->setParaFirstIndentPt(memo->paraFirstIndentPt() + points);
}

void TEditor::indentkey1Click()
{
    indentBy(IndentStep);
}

void TEditor::outdentkey1Click()
{
    indentBy(-IndentStep);
}

// --- Default font ------------------------------------------------------------

void TEditor::applyDefaultFont(DefaultFontUse use)
{
    if (use == DefaultFontUse::AtInsertionPoint) {
        QTextCursor cursor = memo->textCursor();
        if (cursor.hasSelection()) {
            cursor.setPosition(cursor.selectionEnd());
            memo->setTextCursor(cursor);
        }
    }
    const IniFile ini = IniFile::programIni();
    const QString face =
        ini.readString(DefaultFont, QStringLiteral("Tname"), QStringLiteral("Times New Roman"));
    const int size = ini.readInteger(DefaultFont, QStringLiteral("Tsize"), 12);
    const int color = ini.readInteger(DefaultFont, QStringLiteral("Tcolor"), 0);
    const QString word =
        ini.readString(DefaultFont, QStringLiteral("Tstyle"),
                       use == DefaultFontUse::PlainFont ? QStringLiteral("regular") : QString());

    platform::CharAttributes a;
    a.face = face;
    a.size = size; // below one point the size stays as it is
    // The colour button takes the stored colour, the text the button's.
    ColorBox->setColorValue(color);
    a.autoColor = ColorBox->colorValue() < 0;
    a.color = ColorBox->color();
    unsigned fields = platform::CharFace | platform::CharSize | platform::CharColor;
    if (const auto style = styleOfWord(word)) {
        a.bold = style->bold;
        a.italic = style->italic;
        a.underline = style->underline;
        a.strikeOut = false;
        fields |= platform::CharStyle;
    }
    memo->setSelAttributes(a, fields);
    if (use != DefaultFontUse::AtInsertionPoint)
        memoSelectionChange();
}

void TEditor::fontit()
{
    applyDefaultFont(DefaultFontUse::AtInsertionPoint);
}

void TEditor::PlainFont1Click()
{
    applyDefaultFont(DefaultFontUse::PlainFont);
}

void TEditor::SpeedButton10Click()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Make current font settings the default?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("ConfirmBox"));
    if (box.exec() != QMessageBox::Yes)
        return;
    const platform::CharAttributes a = memo->selAttributes();
    const IniFile ini = IniFile::programIni();
    ini.writeString(DefaultFont, QStringLiteral("Tname"), a.face);
    ini.writeInteger(DefaultFont, QStringLiteral("Tsize"), a.size);
    ini.writeInteger(DefaultFont, QStringLiteral("Tcolor"),
                     a.autoColor ? TColorBox::AutoColor : colorValue(a.color));
    ini.writeString(DefaultFont, QStringLiteral("Tstyle"), styleWord(a));
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
        pressKey(VkHome);
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
        qsizetype n = 0;
        while (n < text.size() && text.at(n).unicode() < 33)
            ++n;
        memo->replaceLine(i, text.mid(n));
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
