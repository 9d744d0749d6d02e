#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Runs `answer` once on the first visible top-level widget named `name`, from
// inside whatever modal loop shows it.
class Answerer : public QObject {
public:
    Answerer(const QString &name, std::function<void(QWidget *)> answer);
    bool answered() const { return m_answered; }

private:
    void poll();

    QString m_name;
    std::function<void(QWidget *)> m_answer;
    QTimer m_timer;
    bool m_answered = false;
};
