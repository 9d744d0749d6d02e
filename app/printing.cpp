#include "printing.h"

#include <QPushButton>

Tprintit *printit = nullptr;

Tprintit::Tprintit(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Printing ..."));
    setFixedSize(153, 53);
    CancelButton = new QPushButton(QStringLiteral("Cancel Print Job"), this);
    CancelButton->setGeometry(16, 8, 117, 34);
}

Tprintit::~Tprintit() = default;
