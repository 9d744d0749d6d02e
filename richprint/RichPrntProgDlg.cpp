#include "RichPrntProgDlg.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TRichPrntProgDlg::TRichPrntProgDlg(QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("RichPrntProgDlg"));
    setWindowTitle(QStringLiteral("Print Progress"));
    resize(284, 85);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(4, 4, 277, 77);

    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    const auto label = [this, &font](const char *name, int x, int y, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(font);
        l->move(x, y);
        l->resize(width() - x - 12, l->sizeHint().height());
        return l;
    };
    lblStatus = label("lblStatus", 12, 16, QString());
    lblTitle = label("lblTitle", 12, 36, QString());
    lblPageNumDesc = label("lblPageNumDesc", 12, 56, QStringLiteral("Page Number:"));
    lblPageNumDesc->resize(lblPageNumDesc->sizeHint());
    lblPageNumber = label("lblPageNumber", 92, 56, QString());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.center() - QPoint(width() / 2, height() / 2));
}

TRichPrntProgDlg::~TRichPrntProgDlg() = default;
