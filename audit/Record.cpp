#include "Record.h"

namespace audit {

void Record::write(const Line &line)
{
    if (m_failed)
        return;
    const QByteArray bytes = line.text() + "\r\n";
    if (m_out.write(bytes) != bytes.size())
        m_failed = true;
}

} // namespace audit
