#pragma once

#include <QObject>

#include <chrono>

class QTimer;

// Stops the carets' blinking once the program has had no key or click for a while, as
// desktops do, so that an idle pad lets the machine sleep; the next key or click starts
// it again. A resting caret stays on show.
class CaretRest : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultDelay{10000};

    // The application's one watcher, made on first use.
    static CaretRest &instance();
    // How long the program waits for input before the carets rest; the clock starts again.
    static void setDelay(std::chrono::milliseconds delay);

    bool resting() const { return m_resting; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CaretRest(QObject *parent);
    void rest();
    void wake();

    QTimer *m_idle = nullptr;
    int m_flashTime = 0;
    bool m_resting = false;
};
