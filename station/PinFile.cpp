#include "PinFile.h"

#include "Clock.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cmath>

namespace {
constexpr int Positions[4] = {26, 4, 31, 8};
}

QByteArray PinFile::makeLine(const QByteArray &pin, Clock &clock)
{
    clock.randomize();
    QByteArray line(80, '0');
    for (char &c : line)
        c = char(48 + std::lround(9 * clock.rnd()));
    for (int i = 0; i < 4 && i < pin.size(); ++i)
        line[Positions[i] - 1] = pin[i];
    return line;
}

QByteArray PinFile::pinArgument(const QByteArray &line)
{
    QByteArray arg("\"");
    for (int p : Positions)
        if (p <= line.size())
            arg += line[p - 1];
    return arg + '"';
}

bool PinFile::write(const QString &dir, const QByteArray &pin, Clock &clock)
{
    QSaveFile f(QDir(dir).filePath(Name));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(makeLine(pin, clock) + "\r\n");
    return f.commit();
}

bool PinFile::readFirstLine(const QString &dir, QByteArray *line)
{
    QFile f(QDir(dir).filePath(Name));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray l = f.readLine();
    while (l.endsWith('\n') || l.endsWith('\r'))
        l.chop(1);
    *line = l;
    return true;
}
