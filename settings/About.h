#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

// The about box: a borderless picture, centred on the screen and above other
// windows, with the version and the maker's name. The first word of the name
// is a link to the project's web page; a click anywhere else, losing the focus
// or closing hides the box.
class TAboutBox : public QWidget {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

    // The project's web page, opened by the link.
    static QString webPage();
    // Where the link word lies, in the box's coordinates.
    QRect linkRect() const { return m_linkRect; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void drawPicture();

    QPixmap m_picture;
    QRect m_linkRect;
};

extern TAboutBox *AboutBox;
