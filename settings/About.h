#pragma once

#include <QWidget>

// The about box: a borderless picture with the version and the maker's name,
// hidden again by a click or when it loses the focus.
class TAboutBox : public QWidget {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
};

extern TAboutBox *AboutBox;
