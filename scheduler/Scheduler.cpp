#include "Scheduler.h"

#include "Clock.h"
#include "Dialogs.h"

#include <QCoreApplication>
#include <QDir>

Scheduler::Scheduler(const Services &services)
    : m_s(services),
      m_schedule(QDir(services.appFolder).filePath(QString::fromLatin1(Schedule::FileName))),
      m_check(m_schedule, m_queue, *services.clock)
{
}

void Scheduler::loadAtStartUp()
{
    QString why;
    if (!m_schedule.load(&why))
        m_s.dialogs->message(QCoreApplication::translate("Scheduler",
                                                         "The schedule %1 cannot be read (%2).\r\n"
                                                         "The station starts without scheduled "
                                                         "calls.")
                                 .arg(QDir::toNativeSeparators(m_schedule.path()), why),
                             MsgButtons::Ok, MsgIcon::Exclamation,
                             QCoreApplication::translate("Scheduler", "Error"));
}
