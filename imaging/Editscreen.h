#pragma once

#include <QWidget>

// The image editor: holds the current picture.
class TEditScreen : public QWidget {
    Q_OBJECT
public:
    explicit TEditScreen(QWidget *parent = nullptr);
    ~TEditScreen() override;
};

extern TEditScreen *EditScreen;
