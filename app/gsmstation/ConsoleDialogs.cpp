#include "ConsoleDialogs.h"

#include "Runtime.h"

#include <cstdio>

MsgResult ConsoleDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                                  const QString &title)
{
    const MsgResult r = m_answers.message(text, buttons, icon, title);
    if (Runtime::current().isEnding())
        return r; // nothing is shown once the program ends
    std::printf("message box \"%s\": %s\n", qPrintable(title.isEmpty() ? programTitle() : title),
                qPrintable(text));
    std::fflush(stdout);
    return r;
}

QString ConsoleDialogs::openFile(const QString &title, const QString &, const QString &)
{
    if (Runtime::current().isEnding())
        return {};
    std::printf("open dialog \"%s\": cancelled (no display)\n", qPrintable(title));
    return {};
}

QString ConsoleDialogs::saveFile(const QString &title, const QString &, const QString &,
                                 const QString &)
{
    if (Runtime::current().isEnding())
        return {};
    std::printf("save dialog \"%s\": cancelled (no display)\n", qPrintable(title));
    return {};
}
