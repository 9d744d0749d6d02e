#include "Editscreen.h"

TEditScreen *EditScreen = nullptr;

TEditScreen::TEditScreen(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Quillet! Image Editor"));
    resize(592, 328);
}

TEditScreen::~TEditScreen() = default;

void TEditScreen::CaptureButClick()
{
    // The screen grab and the region selection are built on this entry point.
}
