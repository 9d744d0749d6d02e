#include "About.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QUrl>

TAboutBox *AboutBox = nullptr;

namespace {

const QColor Teal(0, 128, 128);
const QColor Maroon(128, 0, 0);
const QColor LinkBlue(0, 0, 255);

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("About Quillet!"));
    setFixedSize(306, 217);
    setMouseTracking(true);
    // The picture is drawn when the box is first painted: most runs never
    // show it, and its fonts and pixels would stay in memory all along.
}

TAboutBox::~TAboutBox() = default;

QString TAboutBox::webPage()
{
    return QStringLiteral(QUILLET_HOMEPAGE);
}

void TAboutBox::drawPicture()
{
    m_picture = QPixmap(size());
    m_picture.fill(Teal);
    QPainter p(&m_picture);
    p.setRenderHint(QPainter::Antialiasing);

    // The emblem: a sheet of paper with a few written lines and a quill
    // lying across it.
    const QRectF sheet(28, 34, 74, 96);
    p.setPen(QPen(QColor(0, 80, 80), 2));
    p.setBrush(QColor(250, 248, 236));
    p.drawRect(sheet);
    p.setPen(QPen(QColor(90, 90, 110), 2));
    for (int i = 0; i < 5; ++i) {
        const qreal y = sheet.top() + 20 + i * 14;
        p.drawLine(QPointF(sheet.left() + 10, y), QPointF(sheet.right() - (i == 4 ? 34 : 10), y));
    }
    QPainterPath quill;
    quill.moveTo(54, 126);
    quill.cubicTo(70, 80, 100, 40, 126, 22);
    quill.cubicTo(118, 52, 96, 92, 54, 126);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(quill);
    p.drawLine(QPointF(54, 126), QPointF(110, 38));
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(54, 126), QPointF(48, 136));

    QFont title = font();
    title.setPointSize(24);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(130, 40, 170, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quillet!"));
    QFont small = font();
    small.setPointSize(9);
    p.setFont(small);
    p.setPen(QColor(220, 240, 240));
    p.drawText(QRect(132, 88, 170, 40), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Print, save and edit\nwhat you select"));
}

void TAboutBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        drawPicture();
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);

    QFont version = font();
    version.setBold(true);
    p.setFont(version);
    p.setPen(Maroon);
    p.drawText(QRect(0, 150, width(), 20), Qt::AlignCenter,
               QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion()));

    // The maker's name, its first word blue and underlined as a link.
    QFont plain = font();
    QFont link = plain;
    link.setUnderline(true);
    const QString first = QStringLiteral("Quillet");
    const QString rest = QStringLiteral(" Project");
    const int firstWidth = QFontMetrics(link).horizontalAdvance(first);
    const int restWidth = QFontMetrics(plain).horizontalAdvance(rest);
    const int left = (width() - firstWidth - restWidth) / 2;
    const int top = 178;
    const int height = QFontMetrics(plain).height();
    m_linkRect = QRect(left, top, firstWidth, height);
    p.setFont(link);
    p.setPen(LinkBlue);
    p.drawText(m_linkRect, Qt::AlignLeft | Qt::AlignVCenter, first);
    p.setFont(plain);
    p.setPen(Qt::black);
    p.drawText(QRect(left + firstWidth, top, restWidth, height), Qt::AlignLeft | Qt::AlignVCenter,
               rest);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    // Centred on the screen the box appears on (the pointer's screen when the
    // tray menu opened it).
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    QWidget::showEvent(event);
}

void TAboutBox::mousePressEvent(QMouseEvent *event)
{
    if (m_linkRect.contains(event->position().toPoint()))
        QDesktopServices::openUrl(QUrl(webPage()));
    hide();
}

void TAboutBox::mouseMoveEvent(QMouseEvent *event)
{
    setCursor(m_linkRect.contains(event->position().toPoint()) ? Qt::PointingHandCursor
                                                               : Qt::ArrowCursor);
}

void TAboutBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        hide();
    QWidget::changeEvent(event);
}

void TAboutBox::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}
