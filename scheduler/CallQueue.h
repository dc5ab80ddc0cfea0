#pragma once

#include <QString>
#include <QStringList>

// Telephone numbers of machines waiting to be called, oldest first. The scheduler queues them;
// the station's hand-over to the call console reads the first, the console takes it.
class CallQueue
{
public:
    static constexpr int Capacity = 5001;

    // False when the queue is full.
    bool queue(const QString &number);
    // The first number, or "" when the queue is empty.
    QString first() const { return m_numbers.isEmpty() ? QString() : m_numbers.first(); }
    // Removes and returns the first number ("" when empty).
    QString takeNext() { return m_numbers.isEmpty() ? QString() : m_numbers.takeFirst(); }
    int size() const { return int(m_numbers.size()); }
    bool contains(const QString &number) const { return m_numbers.contains(number); }

private:
    QStringList m_numbers;
};
