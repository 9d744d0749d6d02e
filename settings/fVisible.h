#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The options dialog "Quillet! Options". It loads its controls from the
// settings file once, when it is created at start-up; afterwards its controls
// are the running memory of the choices, and Save writes them back.
class TViewableForm : public QWidget {
    Q_OBJECT
public:
    // `waitTime` is the tray's running action wait time, shown in the wait field.
    explicit TViewableForm(int waitTime, QWidget *parent = nullptr);
    ~TViewableForm() override;

    QComboBox *cboLeftclick = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLineEdit *txtWait = nullptr;
    QCheckBox *chkAutostart = nullptr;
    QCheckBox *chkWordwrap = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QCheckBox *chkLeadingspaces = nullptr;
    QCheckBox *chkprintdialog = nullptr;
    QCheckBox *chkPromptTitle = nullptr;
    QCheckBox *chkpagenumbers = nullptr;
    QLineEdit *txtHeader = nullptr;
    QPushButton *Button3 = nullptr; // Help
    QPushButton *Button1 = nullptr; // Save
    QPushButton *Button2 = nullptr; // Close
    QFrame *Panel1 = nullptr;       // explains the wait time
    QFrame *Panel2 = nullptr;       // explains removing leading spaces
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;

    // Loads the controls from the settings file; run once by the creator after
    // connecting to printDialogChecked(), so that loading the print-dialog setting reaches the
    // tray.
    void loadSettings();

public slots:
    // Writes every choice to the settings file and hands the running ones to
    // their owners, one step after the other; a failing step throws
    // platform::AppError and leaves the later steps undone and the dialog open.
    void Button1Click();
    // Hides the dialog and the taskbar entry, keeping the unsaved choices.
    void Button2Click();
    void Button3Click();

signals:
    // The print-dialog check box changed state (by the user or by loading).
    void printDialogChecked(bool checked);
    // Save hands over the running values, each at its step of the Save.
    void waitTimeSaved(int milliseconds);
    void wordWrapSaved(bool on);
    void leadingBlanksSaved(bool remove);
    void promptTitleSaved(const QString &marker);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanels();
    void buildShortcuts();

    int m_waitTime;
};

extern TViewableForm *ViewableForm;
