#pragma once

#include <QAbstractButton>
#include <QColor>

// A small push button showing its colour as a swatch. A click opens the
// colour dialog preset to that colour; a confirmed choice becomes the
// button's colour and is announced by OnColorChange, and then, confirmed or
// not, OnClick follows.
class TColorButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TColorButton(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    QSize sizeHint() const override;

signals:
    void OnColorChange();
    void OnClick();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void chooseColor();

    QColor m_color = Qt::black;
};
