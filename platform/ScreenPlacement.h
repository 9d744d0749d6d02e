#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

class QWidget;

namespace platform {

// Keeps a window centred horizontally on its screen, and either at a fraction
// of the screen's free height (a half centres it) or at its own top edge,
// without resizing it, each time it is shown. Its outer frame is known only
// once the window manager has framed it, and on a busy desktop Qt may learn
// the frame after the window's last move or paint event, so for a short while
// after showing the frame is also looked at on a timer, and the window placed
// again whenever it is not where it belongs.
class ScreenPlacement : public QObject {
public:
    // A heightDivisor of 0 keeps the window's top edge.
    explicit ScreenPlacement(int heightDivisor, QObject *parent = nullptr);

    // Places `window` at every later show.
    void watch(QWidget *window);
    // Places `window` now, as at a show; for a window that may already be on screen.
    void placeNow(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void start(QWidget *window);
    QPoint target(const QWidget *window) const;
    void place(QWidget *window);

    int m_heightDivisor;
    QSize m_placedFor;
    QPointer<QWidget> m_window;
    QTimer m_recheck;
    int m_checks = 0;
    int m_unframedChecks = 0;
};

} // namespace platform
