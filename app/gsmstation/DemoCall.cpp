#include "DemoCall.h"

#include "CallDesk.h"
#include "CallSession.h"
#include "FrmCall.h"
#include "FrmStGSM.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <utility>

MsgResult DemoDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                               const QString &title)
{
    return m_inner.message(text, buttons, icon, title);
}

QString DemoDialogs::openFile(const QString &title, const QString &filter, const QString &dir)
{
    return m_inner.openFile(title, filter, dir);
}

QString DemoDialogs::saveFile(const QString &title, const QString &filter, const QString &dir,
                              const QString &suggested)
{
    if (m_nextSave.isEmpty())
        return m_inner.saveFile(title, filter, dir, suggested);
    std::printf("save dialog \"%s\": %s\n", qPrintable(title), qPrintable(m_nextSave));
    std::fflush(stdout);
    return std::exchange(m_nextSave, QString());
}

DemoCall::DemoCall(FrmStGSM &station, CallDesk &desk, DemoDialogs &dialogs, QString workFolder,
                   std::function<void(const QString &)> say)
    : m_station(station), m_desk(desk), m_dialogs(dialogs), m_workFolder(std::move(workFolder)),
      m_say(std::move(say))
{
    CallSession &s = m_desk.session();
    connect(&s, &CallSession::callStateChanged, this, [this](bool up) {
        m_say(up ? QStringLiteral("console: call up (\"Connect...!\")")
                 : QStringLiteral("console: call hung up"));
    });
    connect(&s, &CallSession::progressChanged, this, [this](int value, int max) {
        // Every hundred frames is enough for an account.
        if (value == 0 || value / 100 == m_lastTold / 100)
            return;
        m_lastTold = value;
        m_say(QStringLiteral("console: transfer %1 of %2 frames").arg(value).arg(max));
    });
    connect(&s, &CallSession::auditFinished, this, &DemoCall::finished);
}

void DemoCall::startAfter(int seconds)
{
    QTimer::singleShot(seconds * 1000, this, &DemoCall::run);
}

void DemoCall::run()
{
    if (!m_station.mnuCall->isEnabled()) {
        std::fprintf(stderr, "gsmstation: no demonstration call: \"Call\" is not available (the "
                             "modem is not registered)\n");
        return;
    }
    m_say(QStringLiteral("menu: Call"));
    m_station.mnuCall->trigger();
    FrmCall &w = m_desk.window();
    w.activated();
    w.rowClicked(0);
    const QString number = w.Label1->text();
    if (number.isEmpty()) {
        std::fprintf(stderr, "gsmstation: no demonstration call: the console lists no machine\n");
        w.close();
        return;
    }
    m_say(QStringLiteral("console: machine \"%1\" (%2) selected; pressing \"Audit\"")
              .arg(w.Label4->text(), number));
    m_dialogs.saveNextAs(QDir(m_workFolder).filePath(QStringLiteral("audit-%1.txt").arg(number)));
    w.Command9->click();
}

void DemoCall::finished()
{
    const CallSession::AuditOutcome &a = m_desk.session().lastAudit();
    QFile f(a.path);
    if (a.done && f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = f.readAll().split('\n');
        m_say(QStringLiteral("audit file %1: %2 records%3, first records:")
                  .arg(a.path)
                  .arg(lines.size() - 1)
                  .arg(a.converted ? QString() : QStringLiteral(" (some script lines failed)")));
        for (int i = 0; i < qMin<qsizetype>(8, lines.size()); ++i)
            m_say(QStringLiteral("    ") + QString::fromLatin1(lines.at(i).trimmed()));
    } else {
        m_say(QStringLiteral("audit: no file (%1)").arg(a.message));
    }
    // Close the console a moment later, as the operator would.
    QTimer::singleShot(2000, this, [this] {
        m_say(QStringLiteral("console: closed"));
        m_desk.window().close();
    });
}
