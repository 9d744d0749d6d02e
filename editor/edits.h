#pragma once

#include <QWidget>

// The rich-text editor window; its text area is also the buffer of captured text.
class TEditor : public QWidget {
    Q_OBJECT
public:
    explicit TEditor(QWidget *parent = nullptr);
    ~TEditor() override;
};

// The one editor window, created at start-up.
extern TEditor *Editor;
