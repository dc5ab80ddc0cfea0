#include "PolicyDialogs.h"

#include <QRegularExpression>

namespace {

QString answerName(MsgResult r)
{
    switch (r) {
    case MsgResult::Ok:
        return QStringLiteral("OK");
    case MsgResult::Cancel:
        return QStringLiteral("Cancel");
    case MsgResult::Abort:
        return QStringLiteral("Abort");
    case MsgResult::Retry:
        return QStringLiteral("Retry");
    case MsgResult::Ignore:
        return QStringLiteral("Ignore");
    case MsgResult::Yes:
        return QStringLiteral("Yes");
    case MsgResult::No:
        return QStringLiteral("No");
    }
    return {};
}
} // namespace

void PolicyDialogs::setPolicy(const Policy &p)
{
    m_policy = p;
    m_used = 0;
    m_lines.clear();
    m_ids.clear();
}

QString PolicyDialogs::oneLine(const QString &title, const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    QStringList parts = text.split(breaks, Qt::SkipEmptyParts);
    const QString body = parts.join(QStringLiteral(" / "));
    return title.isEmpty() ? body : title + QStringLiteral(": ") + body;
}

MsgResult PolicyDialogs::answer(MsgId id, MsgButtons buttons)
{
    if (id == MsgId::WaitForReset && buttons == MsgButtons::YesNo)
        return MsgResult::Yes; // the job is the reset: waiting for it is the point
    if (id == MsgId::EraseAudit && buttons == MsgButtons::YesNo)
        return m_policy.erase ? MsgResult::Yes : MsgResult::No;
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::RetryCancel:
        return m_used < m_policy.retries ? (++m_used, MsgResult::Retry) : MsgResult::Cancel;
    case MsgButtons::YesNo:
        return m_used < m_policy.retries ? (++m_used, MsgResult::Yes) : MsgResult::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
        return MsgResult::Cancel;
    case MsgButtons::AbortRetryIgnore:
        return MsgResult::Ignore;
    }
    return MsgResult::Cancel;
}

MsgResult PolicyDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                                 const QString &title)
{
    return ask(MsgId::Other, text, buttons, icon, title);
}

MsgResult PolicyDialogs::ask(MsgId id, const QString &text, MsgButtons buttons, MsgIcon,
                             const QString &title)
{
    const int before = m_used;
    const MsgResult r = answer(id, buttons);
    QString out = oneLine(title, text);
    if (buttons != MsgButtons::Ok) {
        out += QStringLiteral(" -> ") + answerName(r);
        if (m_used != before)
            out += QStringLiteral(" (%1 of %2)").arg(m_used).arg(m_policy.retries);
    }
    m_ids << id;
    m_lines << out;
    emit line(out);
    return r;
}

QString PolicyDialogs::openFile(const QString &, const QString &, const QString &)
{
    return m_policy.openPath;
}

QString PolicyDialogs::saveFile(const QString &, const QString &, const QString &, const QString &)
{
    return m_policy.savePath;
}
