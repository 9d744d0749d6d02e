#include "Editscreen.h"

TEditScreen *EditScreen = nullptr;

TEditScreen::TEditScreen(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Quillet! Image Editor"));
    resize(592, 328);
}

TEditScreen::~TEditScreen() = default;
