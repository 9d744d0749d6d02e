#pragma once

#include <QImage>
#include <QWidget>

#include <vector>

// Shows a picture unscaled at its natural size, the widget sized to it, and
// reports the mouse in picture coordinates. The toolkit keeps sending the
// mouse here from a press until its release, also outside the widget.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget *parent = nullptr);

    const QImage &picture() const;
    // The picture to draw on in place; call changed() with what was drawn.
    QImage &canvas();
    void setPicture(const QImage &picture);
    // A picture of `size` filled with `color` (32 bits a pixel), whose pixels
    // are made when the picture is first read, drawn on or shown.
    void setBlank(QSize size, QColor color);
    // Repaints the given areas of the picture (y-x banded rectangles).
    void changed(const std::vector<QRect> &areas);

    QSize sizeHint() const override
    {
        return m_blankSize.isValid() ? m_blankSize : m_picture.size();
    }

signals:
    void mousePressed(Qt::MouseButton button, QPoint at);
    void mouseMoved(QPoint at);
    void mouseReleased(Qt::MouseButton button, QPoint at);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Made by the first reader of a blank picture.
    mutable QImage m_picture;
    mutable QSize m_blankSize;
    QColor m_blankColor;
};
