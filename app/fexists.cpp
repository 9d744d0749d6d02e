#include "fexists.h"

#include <QLabel>
#include <QPushButton>

Tsaveprompt *saveprompt = nullptr;

Tsaveprompt::Tsaveprompt(QWidget *parent) : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Save this now!"));
    setFixedSize(352, 93);
    auto *text =
        new QLabel(QStringLiteral("This file already exists. What would you like to do?"), this);
    text->move(25, 35);
    const QStringList captions{QStringLiteral("Overwrite"), QStringLiteral("Add to top"),
                               QStringLiteral("Add to bottom"), QStringLiteral("Cancel")};
    const int xs[] = {6, 92, 177, 263};
    for (int i = 0; i < 4; ++i) {
        auto *button = new QPushButton(captions[i], this);
        button->setGeometry(xs[i], 64, 80, 25);
    }
}

Tsaveprompt::~Tsaveprompt() = default;
