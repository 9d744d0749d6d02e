#pragma once

#include <QWidget>

class QFrame;
class QLabel;

// The progress window of a print job: status, job title and page number. It
// has no button; a job cannot be cancelled from it.
class TRichPrntProgDlg : public QWidget {
    Q_OBJECT
public:
    explicit TRichPrntProgDlg(QWidget *parent = nullptr);
    ~TRichPrntProgDlg() override;

    QFrame *Bevel1 = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblPageNumDesc = nullptr;
    QLabel *lblPageNumber = nullptr;
};
