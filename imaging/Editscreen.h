#pragma once

#include <QWidget>

// The image editor: holds the current picture.
class TEditScreen : public QWidget {
    Q_OBJECT
public:
    explicit TEditScreen(QWidget *parent = nullptr);
    ~TEditScreen() override;

    // Starts a screen capture: the frozen screen on which the user marks a
    // region.
    void CaptureButClick();
};

extern TEditScreen *EditScreen;
