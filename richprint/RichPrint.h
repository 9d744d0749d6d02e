#pragma once

#include <QObject>

// The rich-text print engine: prints a rich-text control page by page with
// header, footer, borders and logo.
class TRichPrinter : public QObject {
    Q_OBJECT
public:
    explicit TRichPrinter(QObject *parent = nullptr);
    ~TRichPrinter() override;
};
