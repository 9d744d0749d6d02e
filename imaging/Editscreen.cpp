#include "Editscreen.h"

TEditScreen *EditScreen = nullptr;

TEditScreen::TEditScreen(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Quillet! Image Editor"));
    resize(592, 328);
}

TEditScreen::~TEditScreen() = default;

QImage TEditScreen::picture() const
{
    return m_picture;
}

void TEditScreen::setPicture(const QImage &image)
{
    m_picture = image;
}
