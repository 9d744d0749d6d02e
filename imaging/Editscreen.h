#pragma once

#include "PictureDrawing.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QToolButton;
class TColorButton;
class TPictureBox;

// The image editor: a small paint window around the current picture, which
// every screen capture fills and the picture print and save read.
class TEditScreen : public QWidget {
    Q_OBJECT
public:
    explicit TEditScreen(QWidget *parent = nullptr);
    ~TEditScreen() override;

    // The current picture.
    QImage picture() const;
    // Replaces the current picture; the picture control takes its size. The
    // undo snapshot is left as it is.
    void setPicture(const QImage &image);

    // Starts a screen capture: the frozen screen on which the user marks a
    // region.
    void CaptureButClick();

    // What the file, print and printer buttons run; the tray core connects
    // them. Unconnected hooks do nothing.
    std::function<void()> onOpen;
    std::function<void()> onSave;
    std::function<void()> onPrint;
    std::function<void()> onPrinterSetup;

    // Toolbar, left to right.
    QToolButton *SpeedButton12 = nullptr; // New Blank Image
    QToolButton *SpeedButton4 = nullptr;  // Open File
    QToolButton *cmdSave = nullptr;       // Save Window Contents
    QToolButton *SpeedButton1 = nullptr;  // Print Window Contents
    QToolButton *SpeedButton2 = nullptr;  // Printer Setup
    QToolButton *SpeedButton3 = nullptr;  // Close Window
    QToolButton *CaptureBut = nullptr;    // New Capture
    QToolButton *LineButton = nullptr;
    QToolButton *RectangleButton = nullptr;
    QToolButton *EllipseButton = nullptr;
    QToolButton *RoundRectButton = nullptr;
    QToolButton *SolidPen = nullptr;
    QToolButton *DashPen = nullptr;
    QToolButton *DotPen = nullptr;
    QLineEdit *PenSize = nullptr;
    QWidget *PenWidth = nullptr; // the up-down arrows of PenSize
    TColorButton *PenColor = nullptr;
    QToolButton *ClearBrush = nullptr;
    QToolButton *HorizontalBrush = nullptr; // "Vert Lines"
    QToolButton *VerticalBrush = nullptr;   // "Horz Lines"
    QToolButton *FDiagonalBrush = nullptr;
    QToolButton *BDiagonalBrush = nullptr;
    QToolButton *CrossBrush = nullptr;
    QToolButton *SolidBrush = nullptr;
    TColorButton *BrushColor = nullptr;

    QScrollArea *ScrollBox1 = nullptr;
    TPictureBox *Image = nullptr;
    QLabel *StatusOrigin = nullptr;  // the status bar's first panel
    QLabel *StatusCurrent = nullptr; // and its second

    // The picture's popup menu; the hidden items carry the shortcuts.
    QMenu *PopupMenu1 = nullptr;
    QAction *Undo1 = nullptr;
    QAction *Cut1 = nullptr;
    QAction *Copy1 = nullptr;
    QAction *Paste1 = nullptr;
    QAction *undo2 = nullptr;
    QAction *cut2 = nullptr;
    QAction *copy2 = nullptr;
    QAction *paste2 = nullptr;

    // The pen and brush as the last press applied them.
    const DrawSettings &drawSettings() const { return m_settings; }
    int penWidth() const { return m_penWidth; }

    // Commands.
    void SpeedButton12Click(); // New Blank Image
    void SpeedButton3Click();  // Close Window
    void Undo1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void PenSizeChange();
    void stepPenWidth(int delta);

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> guarded(void (TEditScreen::*handler)());
    void buildToolbar(QWidget *bar);
    void buildMenu();
    QToolButton *groupButton(QWidget *bar, const char *name, int left, const QString &hint,
                             int glyph, int group);
    void applySettings();
    void SetBrushStyle();
    void SetPenStyle();
    void DrawShape(QPoint from, QPoint to, PenMode mode);
    void hideWindow();
    // Makes the picture drawable in place (32 bits a pixel).
    void makeDrawable();

    void Image1MouseDown(Qt::MouseButton button, QPoint at);
    void Image1MouseMove(QPoint at);
    void Image1MouseUp(Qt::MouseButton button, QPoint at);

    QImage m_snapshot;
    DrawSettings m_settings;
    DrawTool m_tool = DrawTool::Line;
    int m_penWidth = 1;
    bool m_drawing = false;
    QPoint m_origin;
    QPoint m_current;
};

extern TEditScreen *EditScreen;
