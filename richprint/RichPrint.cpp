#include "RichPrint.h"

TRichPrinter::TRichPrinter(QObject *parent) : QObject(parent) {}

TRichPrinter::~TRichPrinter() = default;
