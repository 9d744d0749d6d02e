#include "Editscreen.h"

#include "ImageToolbarIcons.h"
#include "TColorButton.h"
#include "TPictureBox.h"
#include "editor/ToolbarIcons.h"
#include "platform/AppError.h"
#include "platform/AppWindows.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TEditScreen *EditScreen = nullptr;

namespace {

constexpr int ToolbarHeight = 31;
constexpr int StatusBarHeight = 18;
constexpr int FirstPanelWidth = 150;
constexpr int ButtonSize = 25;
constexpr int FileButtonSize = 27;
constexpr int ColorButtonSize = 19;
constexpr int PictureLeft = 7;
constexpr int PictureTop = 5;
constexpr int MaxPenWidth = 100;
constexpr int InitialSide = 200;
// A new blank picture must fit in memory: no side above what the picture
// formats can hold, no more than this many bytes.
constexpr int MaxNewSide = 32767;
constexpr qint64 MaxNewBytes = qint64(256) * 1024 * 1024;

enum Group { NoGroup, ToolGroup, PenGroup, BrushGroup };

// Reads a whole number as typed; anything else is refused with the
// conversion's own message.
int wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw platform::AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

QToolButton *flatButton(QWidget *bar, const char *name, int left, int size, const QString &hint,
                        const QIcon &icon)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(left, (ToolbarHeight - size) / 2, size, size);
    b->setIconSize(QSize(16, 16));
    b->setIcon(icon);
    b->setToolTip(hint);
    return b;
}

} // namespace

std::function<void()> TEditScreen::guarded(void (TEditScreen::*handler)())
{
    return [this, handler] { platform::runGuarded([this, handler] { (this->*handler)(); }); };
}

TEditScreen::TEditScreen(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("EditScreen"));
    setWindowTitle(QStringLiteral("Quillet! Image Editor"));
    setWindowIcon(imageEditorWindowIcon());
    resize(592, 328);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setFixedHeight(ToolbarHeight);
    layout->addWidget(bar);

    // The picture sits at a small offset on a background in the colour the
    // desktop gives to an application's empty workspace.
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    QPalette workspace = ScrollBox1->palette();
    workspace.setColor(QPalette::Window, workspace.color(QPalette::Dark));
    ScrollBox1->setPalette(workspace);
    ScrollBox1->viewport()->setAutoFillBackground(true);
    auto *holder = new QWidget;
    holder->setObjectName(QStringLiteral("PictureHolder"));
    holder->setAutoFillBackground(true);
    Image = new TPictureBox(holder);
    Image->setObjectName(QStringLiteral("Image"));
    Image->move(PictureLeft, PictureTop);
    ScrollBox1->setWidget(holder);
    layout->addWidget(ScrollBox1, 1);

    auto *status = new QWidget(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setFixedHeight(StatusBarHeight);
    auto *panels = new QHBoxLayout(status);
    panels->setContentsMargins(0, 0, 0, 0);
    panels->setSpacing(2);
    StatusOrigin = new QLabel(status);
    StatusCurrent = new QLabel(status);
    StatusOrigin->setObjectName(QStringLiteral("StatusOrigin"));
    StatusCurrent->setObjectName(QStringLiteral("StatusCurrent"));
    StatusOrigin->setFixedWidth(FirstPanelWidth);
    for (QLabel *panel : {StatusOrigin, StatusCurrent})
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels->addWidget(StatusOrigin);
    panels->addWidget(StatusCurrent, 1);
    layout->addWidget(status);

    buildToolbar(bar);
    buildMenu();

    connect(Image, &TPictureBox::mousePressed, this, [this](Qt::MouseButton b, QPoint at) {
        platform::runGuarded([&] { Image1MouseDown(b, at); });
    });
    connect(Image, &TPictureBox::mouseMoved, this,
            [this](QPoint at) { platform::runGuarded([&] { Image1MouseMove(at); }); });
    connect(Image, &TPictureBox::mouseReleased, this, [this](Qt::MouseButton b, QPoint at) {
        platform::runGuarded([&] { Image1MouseUp(b, at); });
    });

    // A white picture, whose pixels are made only when it is first used.
    Image->setBlank(QSize(InitialSide, InitialSide), Qt::white);
    ScrollBox1->widget()->resize(PictureLeft + InitialSide, PictureTop + InitialSide);
    applySettings();
}

TEditScreen::~TEditScreen() = default;

QToolButton *TEditScreen::groupButton(QWidget *bar, const char *name, int left, const QString &hint,
                                      int glyph, int group)
{
    QToolButton *b = flatButton(bar, name, left, ButtonSize, hint,
                                imageToolbarIcon(static_cast<ImageGlyph>(glyph)));
    if (group != NoGroup)
        b->setCheckable(true);
    return b;
}

void TEditScreen::buildToolbar(QWidget *bar)
{
    SpeedButton12 =
        flatButton(bar, "SpeedButton12", 4, FileButtonSize, QStringLiteral("New Blank Image"),
                   imageToolbarIcon(ImageGlyph::NewImage));
    SpeedButton4 = flatButton(bar, "SpeedButton4", 31, FileButtonSize, QStringLiteral("Open File"),
                              toolbarIcon(ToolbarGlyph::Open));
    cmdSave = flatButton(bar, "cmdSave", 58, FileButtonSize, QStringLiteral("Save Window Contents"),
                         toolbarIcon(ToolbarGlyph::Save));
    SpeedButton1 =
        flatButton(bar, "SpeedButton1", 85, FileButtonSize, QStringLiteral("Print Window Contents"),
                   toolbarIcon(ToolbarGlyph::Print));
    SpeedButton2 =
        flatButton(bar, "SpeedButton2", 112, FileButtonSize, QStringLiteral("Printer Setup"),
                   toolbarIcon(ToolbarGlyph::PrinterSetup));
    SpeedButton3 = flatButton(bar, "SpeedButton3", 139, FileButtonSize,
                              QStringLiteral("Close Window"), toolbarIcon(ToolbarGlyph::Close));
    CaptureBut = flatButton(bar, "CaptureBut", 166, FileButtonSize, QStringLiteral("New Capture"),
                            imageToolbarIcon(ImageGlyph::Capture));

    using G = ImageGlyph;
    const auto glyph = [](G g) { return static_cast<int>(g); };
    LineButton =
        groupButton(bar, "LineButton", 199, QStringLiteral("Line"), glyph(G::Line), ToolGroup);
    RectangleButton = groupButton(bar, "RectangleButton", 224, QStringLiteral("Rectangle"),
                                  glyph(G::Rectangle), ToolGroup);
    EllipseButton = groupButton(bar, "EllipseButton", 249, QStringLiteral("Elipse"),
                                glyph(G::Ellipse), ToolGroup);
    RoundRectButton = groupButton(bar, "RoundRectButton", 274, QStringLiteral("Rounded Rectangle"),
                                  glyph(G::RoundRect), ToolGroup);
    SolidPen = groupButton(bar, "SolidPen", 306, QStringLiteral("Solid Line"), glyph(G::SolidPen),
                           PenGroup);
    DashPen = groupButton(bar, "DashPen", 331, QStringLiteral("Dashed Line"), glyph(G::DashPen),
                          PenGroup);
    DotPen =
        groupButton(bar, "DotPen", 356, QStringLiteral("Dotted Line"), glyph(G::DotPen), PenGroup);

    PenSize = new QLineEdit(QStringLiteral("1"), bar);
    PenSize->setObjectName(QStringLiteral("PenSize"));
    PenSize->setToolTip(QStringLiteral("Line Width"));
    PenSize->setFocusPolicy(Qt::ClickFocus);
    PenSize->setGeometry(381, 4, 23, ToolbarHeight - 8);
    PenSize->setTextMargins(0, 0, 0, 0);
    PenWidth = new QWidget(bar);
    PenWidth->setObjectName(QStringLiteral("PenWidth"));
    PenWidth->setToolTip(QStringLiteral("Line Width"));
    PenWidth->setGeometry(404, 4, 14, ToolbarHeight - 8);
    auto *arrows = new QVBoxLayout(PenWidth);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    for (int delta : {1, -1}) {
        auto *arrow = new QToolButton(PenWidth);
        arrow->setObjectName(delta > 0 ? QStringLiteral("PenWidthUp")
                                       : QStringLiteral("PenWidthDown"));
        arrow->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        arrows->addWidget(arrow);
        connect(arrow, &QToolButton::clicked, this,
                [this, delta] { platform::runGuarded([&] { stepPenWidth(delta); }); });
    }
    connect(PenSize, &QLineEdit::textChanged, this, guarded(&TEditScreen::PenSizeChange));

    PenColor = new TColorButton(bar);
    PenColor->setObjectName(QStringLiteral("PenColor"));
    PenColor->setToolTip(QStringLiteral("Line Color"));
    PenColor->setColor(Qt::black);
    PenColor->setGeometry(419, (ToolbarHeight - ColorButtonSize) / 2, ColorButtonSize,
                          ColorButtonSize);

    ClearBrush = groupButton(bar, "ClearBrush", 438, QStringLiteral("Empty"), glyph(G::ClearBrush),
                             BrushGroup);
    HorizontalBrush = groupButton(bar, "HorizontalBrush", 463, QStringLiteral("Vert Lines"),
                                  glyph(G::VerticalLines), BrushGroup);
    VerticalBrush = groupButton(bar, "VerticalBrush", 488, QStringLiteral("Horz Lines"),
                                glyph(G::HorizontalLines), BrushGroup);
    FDiagonalBrush = groupButton(bar, "FDiagonalBrush", 513, QStringLiteral("LR Diag Lines"),
                                 glyph(G::FDiagonal), BrushGroup);
    BDiagonalBrush = groupButton(bar, "BDiagonalBrush", 538, QStringLiteral("RL Diag Lines"),
                                 glyph(G::BDiagonal), BrushGroup);
    CrossBrush = groupButton(bar, "CrossBrush", 563, QStringLiteral("Crossed Lines"),
                             glyph(G::Cross), BrushGroup);
    SolidBrush = groupButton(bar, "SolidBrush", 588, QStringLiteral("Solid"), glyph(G::SolidBrush),
                             BrushGroup);

    BrushColor = new TColorButton(bar);
    BrushColor->setObjectName(QStringLiteral("BrushColor"));
    BrushColor->setToolTip(QStringLiteral("Fill Color"));
    BrushColor->setColor(Qt::white);
    BrushColor->setGeometry(613, (ToolbarHeight - ColorButtonSize) / 2, ColorButtonSize,
                            ColorButtonSize);

    // One button of each group is always down.
    const auto group = [this](std::initializer_list<QToolButton *> buttons) {
        auto *g = new QButtonGroup(this);
        g->setExclusive(true);
        for (QToolButton *b : buttons)
            g->addButton(b);
        (*buttons.begin())->setChecked(true);
        return g;
    };
    QButtonGroup *tools = group({LineButton, RectangleButton, EllipseButton, RoundRectButton});
    QButtonGroup *pens = group({SolidPen, DashPen, DotPen});
    QButtonGroup *brushes = group({ClearBrush, HorizontalBrush, VerticalBrush, FDiagonalBrush,
                                   BDiagonalBrush, CrossBrush, SolidBrush});
    connect(tools, &QButtonGroup::buttonClicked, this, [this](QAbstractButton *b) {
        const QToolButton *order[] = {LineButton, RectangleButton, EllipseButton, RoundRectButton};
        const auto at = std::find(std::begin(order), std::end(order), b);
        m_tool = static_cast<DrawTool>(at - std::begin(order));
    });
    connect(pens, &QButtonGroup::buttonClicked, this, guarded(&TEditScreen::SetPenStyle));
    connect(brushes, &QButtonGroup::buttonClicked, this, guarded(&TEditScreen::SetBrushStyle));
    connect(PenColor, &TColorButton::OnColorChange, this, guarded(&TEditScreen::applySettings));
    connect(BrushColor, &TColorButton::OnColorChange, this, guarded(&TEditScreen::applySettings));
    connect(BrushColor, &TColorButton::OnClick, this, guarded(&TEditScreen::applySettings));

    connect(SpeedButton12, &QToolButton::clicked, this, guarded(&TEditScreen::SpeedButton12Click));
    connect(SpeedButton3, &QToolButton::clicked, this, guarded(&TEditScreen::SpeedButton3Click));
    connect(CaptureBut, &QToolButton::clicked, this, guarded(&TEditScreen::CaptureButClick));
    const auto hook = [](const std::function<void()> &command) {
        return [&command] {
            if (command)
                platform::runGuarded(command);
        };
    };
    connect(SpeedButton4, &QToolButton::clicked, this, hook(onOpen));
    connect(cmdSave, &QToolButton::clicked, this, hook(onSave));
    connect(SpeedButton1, &QToolButton::clicked, this, hook(onPrint));
    connect(SpeedButton2, &QToolButton::clicked, this, hook(onPrinterSetup));
    // A right-button press on the save button opens a picture instead.
    cmdSave->installEventFilter(this);
}

void TEditScreen::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto item = [this](const char *name, const QString &caption,
                             void (TEditScreen::*handler)(), bool shown) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, guarded(handler));
        PopupMenu1->addAction(action);
        action->setVisible(shown);
        return action;
    };
    Undo1 = item("Undo1", QStringLiteral("Undo"), &TEditScreen::Undo1Click, true);
    PopupMenu1->addSeparator();
    Cut1 = item("Cut1", QStringLiteral("Cut"), &TEditScreen::Cut1Click, true);
    Copy1 = item("Copy1", QStringLiteral("Copy"), &TEditScreen::Copy1Click, true);
    Paste1 = item("Paste1", QStringLiteral("Paste"), &TEditScreen::Paste1Click, true);
    undo2 = item("undo2", QStringLiteral("undo"), &TEditScreen::Undo1Click, false);
    cut2 = item("cut2", QStringLiteral("cut"), &TEditScreen::Cut1Click, false);
    copy2 = item("copy2", QStringLiteral("copy"), &TEditScreen::Copy1Click, false);
    paste2 = item("paste2", QStringLiteral("paste"), &TEditScreen::Paste1Click, false);

    // The hidden items' keys work anywhere in the window, except in the
    // width field, whose own editing takes them first.
    const std::pair<QAction *, const char *> keys[] = {
        {undo2, "Ctrl+Z"}, {cut2, "Ctrl+X"}, {copy2, "Ctrl+C"}, {paste2, "Ctrl+V"}};
    for (const auto &[action, key] : keys) {
        action->setShortcut(QKeySequence(QLatin1String(key)));
        auto *shortcut = new QShortcut(QKeySequence(QLatin1String(key)), this);
        connect(shortcut, &QShortcut::activated, action, [action] { action->trigger(); });
    }
}

QImage TEditScreen::picture() const
{
    return Image->picture();
}

void TEditScreen::setPicture(const QImage &image)
{
    Image->setPicture(image);
    ScrollBox1->widget()->resize(PictureLeft + image.width(), PictureTop + image.height());
}

void TEditScreen::makeDrawable()
{
    QImage &canvas = Image->canvas();
    if (canvas.format() != QImage::Format_RGB32 && !canvas.isNull())
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
}

// --- drawing ---------------------------------------------------------------

void TEditScreen::PenSizeChange()
{
    // Only a whole number in range moves the arrows' position.
    bool ok = false;
    const int typed = PenSize->text().toInt(&ok);
    if (ok && typed >= 0 && typed <= MaxPenWidth)
        m_penWidth = typed;
    m_settings.penWidth = m_penWidth;
}

void TEditScreen::stepPenWidth(int delta)
{
    const int next = std::clamp(m_penWidth + delta, 0, MaxPenWidth);
    m_penWidth = next;
    PenSize->setText(QString::number(next));
    m_settings.penWidth = m_penWidth;
}

void TEditScreen::SetBrushStyle()
{
    // The two line buttons are named after the direction the lines run in
    // the hatch they give, their pictures after the other.
    const std::pair<QToolButton *, BrushStyle> order[] = {{SolidBrush, BrushStyle::Solid},
                                                          {ClearBrush, BrushStyle::Clear},
                                                          {HorizontalBrush, BrushStyle::Horizontal},
                                                          {VerticalBrush, BrushStyle::Vertical},
                                                          {FDiagonalBrush, BrushStyle::FDiagonal},
                                                          {BDiagonalBrush, BrushStyle::BDiagonal},
                                                          {CrossBrush, BrushStyle::Cross}};
    for (const auto &[button, style] : order) {
        if (button->isChecked()) {
            m_settings.brushStyle = style;
            return;
        }
    }
}

void TEditScreen::SetPenStyle()
{
    if (SolidPen->isChecked())
        m_settings.penStyle = PenStyle::Solid;
    else if (DashPen->isChecked())
        m_settings.penStyle = PenStyle::Dash;
    else if (DotPen->isChecked())
        m_settings.penStyle = PenStyle::Dot;
}

void TEditScreen::applySettings()
{
    PenSizeChange();
    m_settings.penColor = PenColor->color().rgb();
    m_settings.brushColor = BrushColor->color().rgb();
    SetBrushStyle();
    SetPenStyle();
}

void TEditScreen::DrawShape(QPoint from, QPoint to, PenMode mode)
{
    m_settings.tool = m_tool;
    Image->changed(drawShape(Image->canvas(), m_settings, from, to, mode));
}

void TEditScreen::Image1MouseDown(Qt::MouseButton button, QPoint at)
{
    if (button == Qt::LeftButton)
        m_snapshot = Image->picture();
    applySettings();
    makeDrawable();
    // The snapshot shares the picture's pixels until the first drawing;
    // separate them now rather than in the middle of the drag.
    Image->canvas().bits();
    m_drawing = true;
    m_origin = m_current = at;
    StatusOrigin->setText(QStringLiteral("Origin: (%1, %2)").arg(at.x()).arg(at.y()));
}

void TEditScreen::Image1MouseMove(QPoint at)
{
    if (m_drawing) {
        DrawShape(m_origin, m_current, PenMode::NotXor);
        m_current = at;
        DrawShape(m_origin, m_current, PenMode::NotXor);
    }
    StatusCurrent->setText(QStringLiteral("Current: (%1, %2)").arg(at.x()).arg(at.y()));
}

void TEditScreen::Image1MouseUp(Qt::MouseButton button, QPoint at)
{
    if (m_drawing) {
        // Drawn over the last preview, whose end is normally this point.
        DrawShape(m_origin, at, PenMode::Copy);
        m_drawing = false;
    }
    if (button == Qt::RightButton)
        PopupMenu1->popup(QCursor::pos());
}

// --- commands --------------------------------------------------------------

void TEditScreen::Undo1Click()
{
    setPicture(m_snapshot);
}

void TEditScreen::Copy1Click()
{
    QApplication::clipboard()->setImage(Image->picture());
}

void TEditScreen::Cut1Click()
{
    Copy1Click();
    makeDrawable();
    Image->canvas().fill(Qt::white);
    Image->update();
}

void TEditScreen::Paste1Click()
{
    const QImage pasted = QApplication::clipboard()->image();
    if (pasted.isNull() || Image->picture().isNull())
        return;
    makeDrawable();
    {
        QPainter p(&Image->canvas());
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, pasted.convertToFormat(QImage::Format_RGB32));
    }
    Image->update();
}

void TEditScreen::SpeedButton12Click()
{
    const auto ask = [this](const QString &prompt, QString &answer) {
        QInputDialog dialog(this);
        dialog.setObjectName(QStringLiteral("NewImageQuery"));
        dialog.setWindowTitle(QStringLiteral("New Image"));
        dialog.setLabelText(prompt);
        dialog.setTextValue(QStringLiteral("150"));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        answer = dialog.textValue();
        return true;
    };
    QString heightText;
    QString widthText;
    if (!ask(QStringLiteral("Height of new image?"), heightText) ||
        !ask(QStringLiteral("Width of new image?"), widthText))
        return;
    const int height = wholeNumber(heightText);
    const int width = wholeNumber(widthText);
    if (height < 0 || width < 0 || height > MaxNewSide || width > MaxNewSide ||
        qint64(width) * height * 4 > MaxNewBytes)
        throw platform::AppError(
            QStringLiteral("A new image is %1 x %2 pixels at most, and no larger than 256 MB; "
                           "%3 x %4 cannot be made.")
                .arg(MaxNewSide)
                .arg(MaxNewSide)
                .arg(width)
                .arg(height));
    QImage blank;
    if (width > 0 && height > 0) {
        blank = QImage(width, height, QImage::Format_RGB32);
        if (blank.isNull())
            throw platform::AppError(
                QStringLiteral("Not enough memory for a new image of %1 x %2 pixels.")
                    .arg(width)
                    .arg(height));
        blank.fill(Qt::white);
    }
    setPicture(blank);
}

// --- window ----------------------------------------------------------------

void TEditScreen::hideWindow()
{
    platform::services().appWindows().hideTaskbarEntry();
    hide();
}

void TEditScreen::SpeedButton3Click()
{
    hideWindow();
}

void TEditScreen::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    platform::services().appWindows().bringToFront(this);
    // The picture takes the keys at once, so that its shortcuts work.
    Image->setFocus();
}

void TEditScreen::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hideWindow();
}

void TEditScreen::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hideWindow();
        });
    }
}

void TEditScreen::setVisible(bool visible)
{
    // A window hidden while minimised comes back in its normal state.
    if (visible && isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::setVisible(visible);
}

bool TEditScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cmdSave && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        if (onOpen)
            platform::runGuarded(onOpen);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
