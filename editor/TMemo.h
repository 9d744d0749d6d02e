#pragma once

#include "platform/RichEdit.h"

class QMouseEvent;

// The editor's text area: the rich-text control with a selection margin at
// its left edge, where a click selects the line beside it and a drag extends
// the selection line by line.
class TMemo : public platform::RichEdit {
    Q_OBJECT
public:
    static constexpr int MarginWidth = 8;

    explicit TMemo(QWidget *parent = nullptr);

    QWidget *selectionMargin() const { return m_margin; }

    // Selects the displayed lines from the one at `anchorY` to the one at
    // `y` (viewport coordinates), whole lines and their line breaks.
    void selectLines(int anchorY, int y);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_margin;
};
