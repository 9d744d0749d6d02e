#pragma once

#include <QElapsedTimer>
#include <QSize>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <functional>

class QAction;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrintDialog;
class QPrinter;

namespace platform {
class RichEdit;
struct CharAttributes;
} // namespace platform

// A toolbar button that shows a swatch of its colour. The colour is kept in
// the settings file's encoding (0x00BBGGRR, or AutoColor for the system's
// window-text colour), so it round-trips unchanged.
class TColorBox : public QToolButton {
    Q_OBJECT
public:
    static constexpr int AutoColor = -2147483640;

    explicit TColorBox(QWidget *parent = nullptr);

    int colorValue() const { return m_value; }
    void setColorValue(int value);
    // The colour the swatch shows.
    QColor color() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_value = 0x00FFFFFF;
};

// Spin buttons bound to a text field: a click (or an arrow key in the field)
// sets the field's text one up or down within the range.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent = nullptr);

    int position() const { return m_position; }
    void step(int delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_min;
    int m_max;
    int m_position = 0;
};

// The rich-text editor window; its text area is also the buffer of captured text.
class TEditor : public QWidget {
    Q_OBJECT
public:
    explicit TEditor(QWidget *parent = nullptr);
    // Program end: writes the window rectangle (when visible) and the word-wrap state.
    ~TEditor() override;

    // The text area, also the program's buffer of captured text.
    platform::RichEdit *memo = nullptr;
    // Hidden scratch controls of the save action: a second rich-text control
    // and a plain text field without word wrap.
    platform::RichEdit *storememo = nullptr;
    QPlainTextEdit *txtMemo = nullptr;

    // Toolbar, left to right.
    QToolButton *SpeedButton12 = nullptr; // Clear Editor
    QToolButton *SpeedButton9 = nullptr;  // Open Document
    QToolButton *cmdSave = nullptr;       // Save Window Contents
    QToolButton *SpeedButton1 = nullptr;  // Print Window Contents
    QToolButton *SpeedButton2 = nullptr;  // Printer Setup
    QToolButton *SpeedButton3 = nullptr;  // Close Window
    QToolButton *boldbutton = nullptr;
    QToolButton *italicbutton = nullptr;
    QToolButton *underlinebutton = nullptr;
    QComboBox *FontName = nullptr;
    QLineEdit *FontSize = nullptr;
    TUpDown *UpDown1 = nullptr;
    TColorBox *ColorBox = nullptr;
    QToolButton *leftalign = nullptr;
    QToolButton *centeralign = nullptr;
    QToolButton *rightalign = nullptr;
    QToolButton *BulletsButton = nullptr;
    QToolButton *SpeedButton7 = nullptr; // make the current font the default

    // The text area's popup menu; hidden items only carry keyboard shortcuts.
    QMenu *PopupMenu1 = nullptr;
    QAction *Undo1 = nullptr;
    QAction *cut1 = nullptr;
    QAction *copy1 = nullptr;
    QAction *Paste1 = nullptr;
    QAction *pastekeys1 = nullptr;
    QAction *WordWrap1 = nullptr;
    QAction *Removeleadingspaces1 = nullptr;
    QAction *PlainFont2 = nullptr;
    QAction *PlainFont1 = nullptr;
    QAction *Delete1 = nullptr;
    QAction *ClearAll1 = nullptr;
    QAction *boldkey1 = nullptr;
    QAction *italickey1 = nullptr;
    QAction *underlinekey1 = nullptr;
    QAction *leftkey1 = nullptr;
    QAction *centerkey1 = nullptr;
    QAction *rightkey1 = nullptr;
    QAction *jkey1 = nullptr;
    QAction *indentkey1 = nullptr;
    QAction *outdentkey1 = nullptr;

    // File dialogs of the window. The save dialog is used by the save action.
    QFileDialog *OpenDialog = nullptr;
    QFileDialog *SaveDialog = nullptr;
    // Builds the two file dialogs unless they exist already.
    void buildDialogs();
    // The platform's print and printer-setup dialogs, created at first use
    // (building a printer asks the print system for its printers).
    QPrintDialog *PrintDialog1();
    QPrintDialog *PrinterSetupDialog1();

    // Places the window 2 seconds after creation.
    QTimer *Timer1 = nullptr;

    // What the print, save and printer-setup buttons run; the tray core and
    // the print engine connect them.
    std::function<void()> onPrint;
    std::function<void()> onSave;
    std::function<void()> onPageSetup;

    // The default font, applied at the insertion point (the selection is
    // collapsed to its end first).
    void fontit();
    // Refreshes the toolbar from the selection's format.
    void memoSelectionChange();

    bool wordWrap() const;
    void setWordWrap(bool on);

    // Clears the text area and loads a document: RTF with its formatting,
    // anything else as plain text in the default font. Throws AppError.
    void openDocument(const QString &fileName);

    // Toolbar and menu commands.
    void SpeedButton12Click(); // Clear Editor
    void SpeedButton9Click();  // Open Document
    void SpeedButton3Click();  // Close Window
    void boldbuttonClick();
    void italicbuttonClick();
    void underlinebuttonClick();
    void FontNameChange();
    void FontSizeChange();
    void ColorBoxClick();
    void alignClick(QToolButton *button);
    void BulletsButtonClick();
    void SpeedButton10Click(); // make the current font the default
    void Undo1Click();
    void cut1Click();
    void copy1Click();
    void Paste1Click();
    void WordWrap1Click();
    void Removeleadingspaces1Click();
    void PlainFont1Click();
    void Delete1Click();
    void ClearAll1Click();
    void boldkey1Click();
    void italickey1Click();
    void underlinekey1Click();
    void leftkey1Click();
    void centerkey1Click();
    void rightkey1Click();
    void indentkey1Click();
    void outdentkey1Click();
    void PopupMenu1Popup();

    // True while the toolbar is being refreshed from the selection.
    static bool refreshing();

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    // Fills the face box and sets the toolbar fields' font, once.
    void completeToolbar();
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> guarded(void (TEditor::*handler)());
    void buildToolbar();
    void buildMenu();
    void FormCreate();
    void Timer1Timer();
    void FormDestroy();

    // Which default-font variant runs: see fontit().
    enum class DefaultFontUse { AtInsertionPoint, RightClick, PlainFont };
    void applyDefaultFont(DefaultFontUse use);
    void styleButtonClick(QToolButton *button);
    void flipAndRun(QToolButton *button, void (TEditor::*command)());
    void setAlignment(int code);
    void indentBy(double points);
    void parkAndHide();
    void pressKey(quint16 virtualKey);

    QPrinter *printer();
    QPrinter *m_printer = nullptr;
    QPrintDialog *m_printDialog = nullptr;
    QPrintDialog *m_printerSetupDialog = nullptr;

    // A key press waiting for this window to become active again.
    quint16 m_pendingKey = 0;
    QElapsedTimer m_pendingKeyAge;
    // Enter is down in the face box or the size field.
    bool m_enterHeld = false;
    // Outer size to give the window once the window manager has framed it.
    QSize m_pendingOuterSize;
};

// The one editor window, created at start-up.
extern TEditor *Editor;
