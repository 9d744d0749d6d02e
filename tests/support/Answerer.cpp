#include "Answerer.h"

#include <QApplication>
#include <QWidget>

Answerer::Answerer(const QString &name, std::function<void(QWidget *)> answer)
    : m_name(name), m_answer(std::move(answer))
{
    connect(&m_timer, &QTimer::timeout, this, &Answerer::poll);
    m_timer.start(10);
}

void Answerer::poll()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == m_name && w->isVisible()) {
            m_timer.stop();
            m_answered = true;
            m_answer(w);
            return;
        }
    }
}
