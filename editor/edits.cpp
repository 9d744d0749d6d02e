#include "edits.h"

TEditor *Editor = nullptr;

TEditor::TEditor(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Quillet! Text Editor"));
    resize(620, 370);
}

TEditor::~TEditor() = default;
