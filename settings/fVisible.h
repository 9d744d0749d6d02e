#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The options dialog "Quillet! Options". It loads its controls from the
// settings file once, when it is created at start-up; afterwards its controls
// are the running memory of the choices.
class TViewableForm : public QWidget {
    Q_OBJECT
public:
    // `waitTime` is the tray's running action wait time, shown in the wait field.
    explicit TViewableForm(int waitTime, QWidget *parent = nullptr);
    ~TViewableForm() override;

    QComboBox *cboLeftclick = nullptr;
    QLineEdit *txtWait = nullptr;
    QCheckBox *chkAutostart = nullptr;
    QCheckBox *chkWordwrap = nullptr;
    QCheckBox *chkLeadingspaces = nullptr;
    QCheckBox *chkprintdialog = nullptr;
    QCheckBox *chkPromptTitle = nullptr;
    QCheckBox *chkpagenumbers = nullptr;
    QLineEdit *txtHeader = nullptr;

    // Loads the controls from the settings file; run once by the creator after
    // connecting to printDialogChecked(), so that loading the print-dialog setting reaches the
    // tray.
    void loadSettings();

signals:
    // The print-dialog check box changed state (by the user or by loading).
    void printDialogChecked(bool checked);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int m_waitTime;
};

extern TViewableForm *ViewableForm;
