#include "CallQueue.h"

bool CallQueue::queue(const QString &number)
{
    if (m_numbers.size() >= Capacity)
        return false;
    m_numbers << number;
    return true;
}
