#pragma once

#include "../TrayIcon.h"

#include <QSystemTrayIcon>

#include <functional>

namespace platform {

// The tray icon over QSystemTrayIcon. On an XEmbed notification area the icon
// is a small widget of ours, so button releases are taken from its events;
// elsewhere (StatusNotifierItem) the host's activation stands for a click.
class QtTrayIcon : public TrayIcon {
    Q_OBJECT
public:
    // `sendRequests` hands the window system what the program has asked of it
    // so far; it is called once the icon is shown (may be empty).
    explicit QtTrayIcon(QObject *parent = nullptr, std::function<void()> sendRequests = {});
    ~QtTrayIcon() override;

    void setIcon(const QIcon &icon) override;
    void setToolTip(const QString &text) override;
    QString toolTip() const override;
    void setActive(bool active) override;
    bool isActive() const override;
    QRect geometry() const override;
    bool hostAvailable() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    bool isEmbeddedIconWidget(QObject *object) const;

    QSystemTrayIcon m_icon;
    std::function<void()> m_sendRequests;
};

} // namespace platform
