#pragma once

#include <QWidget>

// The file-exists prompt of "Save this now!": overwrite the file, add the new
// text on top of it or below it, or cancel.
class Tsaveprompt : public QWidget {
    Q_OBJECT
public:
    explicit Tsaveprompt(QWidget *parent = nullptr);
    ~Tsaveprompt() override;
};

extern Tsaveprompt *saveprompt;
