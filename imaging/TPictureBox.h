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

    const QImage &picture() const { return m_picture; }
    // The picture to draw on in place; call changed() with what was drawn.
    QImage &canvas() { return m_picture; }
    void setPicture(const QImage &picture);
    // Repaints the given areas of the picture (y-x banded rectangles).
    void changed(const std::vector<QRect> &areas);

    QSize sizeHint() const override { return m_picture.size(); }

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
    QImage m_picture;
};
