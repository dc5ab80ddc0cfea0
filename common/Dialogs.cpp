#include "Dialogs.h"
#include "Runtime.h"

#include <QCoreApplication>

QString Dialogs::programTitle()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("gsmstation") : name;
}

MsgResult Dialogs::lastButton(MsgButtons b)
{
    switch (b) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::AbortRetryIgnore:
        return MsgResult::Ignore;
    case MsgButtons::YesNo:
        return MsgResult::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    }
    return MsgResult::Ok;
}

MsgResult ScriptedDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                                   const QString &title)
{
    if (Runtime::current().isEnding())
        return lastButton(buttons);
    const MsgResult r = m_answers.isEmpty() ? lastButton(buttons) : m_answers.takeFirst();
    m_shown << Shown{Shown::Message, text, title, icon, buttons, r, {}, Runtime::current().nowMs(), {}};
    return r;
}

QString ScriptedDialogs::openFile(const QString &title, const QString &filter, const QString &)
{
    if (Runtime::current().isEnding())
        return {};
    const QString p = m_files.isEmpty() ? QString() : m_files.takeFirst();
    m_shown << Shown{Shown::Open,    title,         filter, MsgIcon::None,
                     MsgButtons::Ok, MsgResult::Ok, p,      Runtime::current().nowMs(), {}};
    return p;
}

QString ScriptedDialogs::saveFile(const QString &title, const QString &filter, const QString &,
                                  const QString &suggested)
{
    if (Runtime::current().isEnding())
        return {};
    const QString p = m_files.isEmpty() ? QString() : m_files.takeFirst();
    m_shown << Shown{Shown::Save,    title,         filter, MsgIcon::None,
                     MsgButtons::Ok, MsgResult::Ok, p,      Runtime::current().nowMs(), suggested};
    return p;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const auto &s : m_shown)
        if (s.kind == Shown::Message)
            out << s.title + QLatin1Char('|') + s.text;
    return out;
}

QStringList ScriptedDialogs::boxes() const
{
    static const char *const icons[] = {"None", "Critical", "Question", "Exclamation",
                                        "Information"};
    static const char *const sets[] = {"Ok",          "OkCancel", "AbortRetryIgnore",
                                       "YesNoCancel", "YesNo",    "RetryCancel"};
    QStringList out;
    for (const auto &s : m_shown)
        if (s.kind == Shown::Message)
            out << QStringList{s.title, s.text, QString::fromLatin1(icons[int(s.icon)]),
                               QString::fromLatin1(sets[int(s.buttons)])}
                       .join(QLatin1Char('|'));
    return out;
}
