#pragma once

#include <QDialog>

class QPushButton;
class TFileLabel;

// The file-exists prompt of "Save this now!": overwrite the file, add the new
// text on top of it or below it, or cancel. Each answer is left in SaveAnswer
// and hides the prompt; closing or minimising it answers "cancel".
class Tsaveprompt : public QDialog {
    Q_OBJECT
public:
    explicit Tsaveprompt(QWidget *parent = nullptr);
    ~Tsaveprompt() override;

    TFileLabel *Label1 = nullptr; // the path of the file
    QPushButton *Overwrite = nullptr;
    QPushButton *AddToTop = nullptr;
    QPushButton *AddToBottom = nullptr;
    QPushButton *Cancel = nullptr;

    // Shows the prompt for `fileName` (not modal), the two adding buttons
    // enabled or greyed together.
    void ask(const QString &fileName, bool adding);

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void answer(const QString &value);
};

extern Tsaveprompt *saveprompt;
