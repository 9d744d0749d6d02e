#pragma once

#include "../TrayIcon.h"

#include <QSystemTrayIcon>

namespace platform {

// The tray icon over QSystemTrayIcon. On an XEmbed notification area the icon
// is a small widget of ours, so button releases are taken from its events;
// elsewhere (StatusNotifierItem) the host's activation stands for a click.
class QtTrayIcon : public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject *parent = nullptr);
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
};

} // namespace platform
