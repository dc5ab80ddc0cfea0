#include "UnattendedCollector.h"

#include "Clock.h"
#include "MachineDb.h"
#include "PortLender.h"
#include "Runtime.h"
#include "Timer.h"
#include "TrayIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

QString resultText(AuditJobOutcome::Result result)
{
    switch (result) {
    case AuditJobOutcome::Completed:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "Completed"));
    case AuditJobOutcome::Busy:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "Busy"));
    case AuditJobOutcome::NoAnswer:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "No answer"));
    case AuditJobOutcome::DialFailed:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "Dial failed"));
    case AuditJobOutcome::TransferFailed:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "Transfer failed"));
    case AuditJobOutcome::ConversionFailed:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "Conversion failed"));
    case AuditJobOutcome::FileError:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("AuditJob", "File error"));
    }
    return QString();
}

QString resultShown(AuditJobOutcome::Result result)
{
    return QCoreApplication::translate("AuditJob", resultText(result).toLatin1().constData());
}

namespace {
QString workFolderOf(const QString &programFolder)
{
    QDir dir(programFolder);
    dir.cdUp();
    return dir.absolutePath();
}

// Modem answers arrive as several lines; the log keeps one.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}
} // namespace

UnattendedCollector::UnattendedCollector(const Services &services, PortLender &lender,
                                         ::Timer &polling, AuditJobRunner &runner, QObject *parent)
    : QObject(parent), m_s(services), m_lender(lender), m_polling(polling), m_runner(runner),
      m_archive(workFolderOf(services.appFolder)), m_log(m_archive.logPath())
{
    connect(&m_polling, &::Timer::tick, this, &UnattendedCollector::pollingTicked);
}

void UnattendedCollector::due(const QString &number, bool unattended)
{
    if (unattended)
        collect(number);
}

void UnattendedCollector::collect(const QString &number)
{
    const QString n = number.trimmed();
    if (n.isEmpty())
        return;
    for (const Entry &e : m_entries)
        if (e.number == n)
            return;
    m_entries << Entry{n};
    if (m_portNeeded && !m_portNeeded(n)) {
        // From the event loop: the announcement that queued it may be in the middle of a tick.
        QPointer<UnattendedCollector> self(this);
        Runtime::current().post(0, [self] {
            if (self && !self->collecting())
                self->startNext(false);
        });
    }
}

QStringList UnattendedCollector::waiting() const
{
    QStringList out;
    for (const Entry &e : m_entries)
        out << e.number;
    return out;
}

// The port is free right after a polling tick that went well: the station's own exchanges of
// that tick are over, and no other window has borrowed the port (it stops polling when it does).
bool UnattendedCollector::portFree() const
{
    return m_lender.stationOnPort() && m_polling.isEnabled() &&
           !(m_console && m_console->isLoaded());
}

void UnattendedCollector::pollingTicked()
{
    if (!collecting())
        startNext(portFree());
}

void UnattendedCollector::startNext(bool portFree)
{
    const qint64 now = Runtime::current().nowMs();
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].notBefore <= now &&
            (portFree || (m_portNeeded && !m_portNeeded(m_entries[i].number)))) {
            begin(i);
            return;
        }
    }
}

QString UnattendedCollector::describe(const QString &number) const
{
    if (!m_db)
        return QString();
    const std::optional<DbRecord> r =
        m_db->findFirst(MachineTables::Distributori, QStringLiteral("GSM"), number);
    return r ? r->value(QStringLiteral("Description")) : QString();
}

void UnattendedCollector::takePort()
{
    if (m_portNeeded && !m_portNeeded(m_entries[m_current].number))
        return;
    m_holdsPort = true;
    m_lender.lend();
    if (m_handOver)
        m_handOver->stop();
    emit portHeld(true);
}

void UnattendedCollector::givePortBack()
{
    if (!std::exchange(m_holdsPort, false))
        return;
    m_lender.giveBack();
    emit portHeld(false);
}

void UnattendedCollector::begin(int index)
{
    Entry &e = m_entries[index];
    ++e.attempts;
    m_startedAt = m_s.clock->now();
    m_startedMs = Runtime::current().nowMs();
    m_machine = describe(e.number);
    QString why;
    if (!m_archive.prepare(e.number, m_startedAt, &m_files, &why)) {
        // Nothing could be filed, so the machine is not called at all.
        const QString number = e.number;
        m_entries.removeAt(index);
        const AuditJobOutcome outcome{AuditJobOutcome::FileError, why};
        m_log.append({m_startedAt, number, m_machine, resultText(outcome.result), 0, why});
        if (m_s.tray)
            m_s.tray->showMessage(tr("Audit not collected"),
                                  tr("%1: %2.").arg(number, why));
        emit attemptFinished(number, outcome, 1, false);
        return;
    }
    m_current = index;
    const QString number = e.number;
    const int attempt = e.attempts;
    takePort();
    emit attemptStarted(number, attempt);
    const quint64 job = ++m_job;
    QPointer<UnattendedCollector> self(this);
    m_runner.run(number, m_files.tempTxt, m_files.tempImg,
                 [self, job](const AuditJobOutcome &outcome) {
                     if (self)
                         self->finish(job, outcome);
                 });
}

void UnattendedCollector::finish(quint64 job, AuditJobOutcome outcome)
{
    if (job != m_job || m_current < 0)
        return; // done() called twice, or after the collector moved on
    const int index = m_current;
    m_current = -1;
    const Entry entry = m_entries.at(index);
    const qint64 now = Runtime::current().nowMs();
    const int seconds = int((now - m_startedMs + 500) / 1000);

    QStringList notes;
    if (const QString said = oneLine(outcome.message); !said.isEmpty())
        notes << said;
    QString why;
    switch (outcome.result) {
    case AuditJobOutcome::Completed:
        // The image first: a present .txt then always has its image beside it.
        if (AuditArchive::commit(m_files.tempImg, m_files.img, &why) &&
            AuditArchive::commit(m_files.tempTxt, m_files.txt, &why)) {
            notes = QStringList{m_archive.relative(m_files.txt)};
        } else {
            outcome = {AuditJobOutcome::FileError, why};
            notes = QStringList{why};
        }
        break;
    case AuditJobOutcome::ConversionFailed:
        // The image is whole and can be converted again later; half a conversion is not kept.
        if (QFileInfo::exists(m_files.tempImg) &&
            AuditArchive::commit(m_files.tempImg, m_files.img, &why))
            notes << QStringLiteral("image kept in %1").arg(m_archive.relative(m_files.img));
        break;
    default:
        break;
    }
    AuditArchive::discard(m_files);

    const bool retry = outcome.retryable() && entry.attempts < MaxAttempts;
    QString message = notes.join(QStringLiteral("; "));
    if (outcome.result != AuditJobOutcome::Completed) {
        const QString next =
            retry
                ? QStringLiteral(", next at %1")
                      .arg(
                          m_s.clock->now().addMSecs(RetryDelayMs).toString(QStringLiteral("hh:mm")))
                : QString();
        message =
            QStringLiteral("%1 (attempt %2 of %3%4)")
                .arg(message, QString::number(entry.attempts), QString::number(MaxAttempts), next)
                .trimmed();
    }
    if (retry)
        m_entries[index].notBefore = now + RetryDelayMs;
    else
        m_entries.removeAt(index);

    m_log.append(
        {m_startedAt, entry.number, m_machine, resultText(outcome.result), seconds, message});
    if (outcome.result != AuditJobOutcome::Completed && !retry && m_s.tray) {
        const QString who = m_machine.isEmpty()
                                ? entry.number
                                : QStringLiteral("%1 (%2)").arg(m_machine, entry.number);
        m_s.tray->showMessage(
            tr("Audit not collected"),
            tr("%1: %2, attempt %3 of %4. See %5.")
                .arg(who, resultShown(outcome.result), QString::number(entry.attempts),
                     QString::number(MaxAttempts), m_archive.relative(m_log.path())));
    }
    givePortBack();
    emit attemptFinished(entry.number, outcome, entry.attempts, retry);
}
