#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class TEditScreen;

namespace platform {
class ScreenBackdrop;
}

// What a completed screen capture needs from the tray core, which fills it in
// at start-up: its capture markers (`CaptureStatus` "no" means an action
// follows; `PendingAction` names it) and its save and print commands.
struct CaptureTrayLink {
    QString *captureStatus = nullptr;
    QString *pendingAction = nullptr;
    std::function<void()> saver;  // the save command, picture branch
    std::function<void()> prints; // the print command, picture branch
};
CaptureTrayLink &captureTray();

// Copies the screen rectangle with top-left corner (x, y) and the given size,
// in screen pixels, into `bitmap`. A width or height of 0 or less changes
// nothing; when the screen cannot be read the bitmap becomes white at the
// asked size.
void ScreenShot(int x, int y, int width, int height, QImage &bitmap);

// The frozen screen: a borderless window over the whole primary monitor, above
// every other window, showing the screen as it was when the capture started.
// The user marks a rectangle on it with two clicks; its inside becomes the
// image editor's picture, and the capture's purpose is carried out. Any key
// cancels. All positions are screen pixels, also when the program is scaled.
class TScreenLock : public QWidget {
    Q_OBJECT
public:
    explicit TScreenLock(TEditScreen *owner);
    ~TScreenLock() override;

    // The screen to show, one image pixel per screen pixel.
    void setFrozenImage(const QImage &frozen) { m_frozen = frozen; }
    // Whether the display server shows it (else this window paints it).
    bool serverShowsFrozenImage() const { return m_backdrop != nullptr; }
    // Takes the keyboard and the pointer once the window is shown, waiting
    // until it is on screen; they are given back when it hides.
    void grabInput();

    // The instruction label.
    QLabel *Label1 = nullptr;

    // The marked rectangle including its one-pixel outline, and whether it is
    // shown.
    QRect bevel1() const { return m_bevel; }
    bool bevel1Visible() const { return m_bevelVisible; }
    bool selecting() const { return m_selecting; }

    void Image1MouseDown(Qt::MouseButton button, QPoint point);
    void Image1MouseMove();
    void FormKeyDown();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setBevel(const QRect &rect, bool visible);
    QRegion outlineRegion(const QRect &rect) const;
    void completeSelection();
    void dismiss();

    TEditScreen *m_editor;
    QImage m_frozen;
    // The frozen image as the display server shows it while the window is
    // shown; without it the window paints the image itself.
    std::unique_ptr<platform::ScreenBackdrop> m_backdrop;
    bool m_selecting = false;
    QPoint m_anchor;
    QRect m_bevel;
    bool m_bevelVisible = false;
    QRegion m_unpainted;
    bool m_grabbed = false;
};
