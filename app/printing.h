#pragma once

#include <QWidget>

class QPushButton;

// The "Printing ..." window: shown for two seconds before a print, during
// which "Cancel Print Job" (or Esc) stops it.
class Tprintit : public QWidget {
    Q_OBJECT
public:
    explicit Tprintit(QWidget *parent = nullptr);
    ~Tprintit() override;

    QPushButton *CancelButton = nullptr;

    // Hides the window and asks the waiting print to stop.
    void CancelButtonClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
};

extern Tprintit *printit;
