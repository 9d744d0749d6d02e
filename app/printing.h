#pragma once

#include <QWidget>

class QPushButton;

// The "Printing ..." window: shown for two seconds before a print, during
// which "Cancel Print Job" (or Esc) stops it. It has no window-manager frame,
// so that no title-bar buttons can appear on it; it draws its own caption in
// a strip above its 153 x 53 client area.
class Tprintit : public QWidget {
    Q_OBJECT
public:
    explicit Tprintit(QWidget *parent = nullptr);
    ~Tprintit() override;

    QPushButton *CancelButton = nullptr;

    // Hides the window and asks the waiting print to stop.
    void CancelButtonClick();

    // The caption strip across the top of the window.
    QRect captionRect() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_laidOut = false;
};

extern Tprintit *printit;
