#pragma once

#include <QImage>
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

    // The current picture.
    QImage picture() const;
    void setPicture(const QImage &image);

private:
    QImage m_picture;
};

extern TEditScreen *EditScreen;
