#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Standard error of gsmcollect: one line per message, each starting "gsmcollect: ". Progress is
// a bar redrawn in place when the stream is a terminal (the percentage, then the step and the
// times), a line per batch otherwise; a message that comes while the bar is shown is written
// above it.
class CollectLog
{
public:
    using Writer = std::function<void(const QByteArray &bytes)>;

    CollectLog(Writer write, bool terminal) : m_write(std::move(write)), m_terminal(terminal) {}
    // Writes to stderr, as a terminal when it is one.
    static CollectLog toStderr();

    bool terminal() const { return m_terminal; }
    void line(const QString &text);
    // detail: the step and times ("batch 2 of 3  0:12 elapsed, 0:17 left").
    // step: the step alone; without a terminal each new step is one line.
    void progress(int percent, const QString &detail, const QString &step = {});
    void batch(int number, int value, int maximum);
    // Ends a bar that is shown (the next line starts below it).
    void endProgress();

private:
    void drawBar();
    void clearBar();

    Writer m_write;
    bool m_terminal;
    bool m_barShown = false;
    bool m_full = false; // a full bar was ended: it is not drawn again
    int m_percent = 0;
    QString m_detail;
    QString m_step;
};
