#include "Formatters.h"

namespace audit {

QByteArray TwoDigits(int b)
{
    if (b < 0 || b > 99)
        return "00";
    return QByteArray::number(b).rightJustified(2, '0');
}

QByteArray BcdDigits(int b)
{
    const int high = (b >> 4) & 0x0F;
    const int low = b & 0x0F;
    if (high == 0)
        return low < 10 ? TwoDigits(low) : NumberText(low);
    return NumberText(high) + NumberText(low);
}

QByteArray CharacterText(const AuditImage &image, qint64 a, int count)
{
    QByteArray text(count, '\0');
    for (int i = 0; i < count; ++i)
        text[i] = char(image.ImageByte(a + i));
    return text;
}

QByteArray StampText(const AuditImage &image, qint64 a)
{
    return TwoDigits(image.ImageByte(a + 3)) + TwoDigits(image.ImageByte(a + 4)) + "00" +
           TwoDigits(image.ImageByte(a + 2)) + TwoDigits(image.ImageByte(a + 1)) +
           TwoDigits(image.ImageByte(a));
}

} // namespace audit
