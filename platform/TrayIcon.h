#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

namespace platform {

// An icon in the desktop's notification area.
//
// clicked() is emitted once for every release of the left button over the icon,
// so a double click emits it twice. contextMenuRequested() is emitted on the
// release of the right button with the cursor position.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // The longest tooltip the notification area shows; longer texts are cut.
    static constexpr int MaxToolTip = 62;

    using QObject::QObject;
    ~TrayIcon() override = default;

    virtual void setIcon(const QIcon &icon) = 0;
    virtual void setToolTip(const QString &text) = 0;
    virtual QString toolTip() const = 0;
    virtual void setActive(bool active) = 0;
    virtual bool isActive() const = 0;
    // Where the icon is on screen, or an empty rectangle when it is not docked.
    virtual QRect geometry() const = 0;
    // True when the desktop has a notification area to show the icon in. An
    // active icon docks by itself when a notification area appears later.
    virtual bool hostAvailable() const = 0;

signals:
    void clicked();
    void contextMenuRequested(const QPoint &globalPos);
};

} // namespace platform
