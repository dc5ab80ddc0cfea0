#include "DeskWindows.h"

#include "FrmStGSM.h"
#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {
QList<QRect> availableAreas()
{
    QList<QRect> areas;
    for (const QScreen *s : QGuiApplication::screens())
        areas << s->availableGeometry();
    return areas;
}

// Moves a window so that its frame lies at `frame`.
void moveFrame(QWidget *w, const QRect &frame)
{
    const QRect now = w->frameGeometry();
    if (frame.size() != now.size())
        w->resize(w->size() + frame.size() - now.size());
    w->move(frame.topLeft());
}
} // namespace

DeskWindows::DeskWindows(FrmStGSM &station, QObject *parent) : QObject(parent), m_station(station)
{
}

DeskWindows::~DeskWindows()
{
    for (auto it = m_placed.begin(); it != m_placed.end(); ++it)
        if (it.key()->isVisible())
            save(it.key(), it.value());
}

void DeskWindows::addChild(QWidget *window, const WindowOpener *opener)
{
    m_children << qMakePair(window, opener);
    window->installEventFilter(this);
}

void DeskWindows::keepPlaces(QSettings *settings)
{
    m_settings = settings;
    connect(qApp, &QGuiApplication::screenRemoved, this, &DeskWindows::bringBackOnScreen);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &DeskWindows::bringBackOnScreen);
}

void DeskWindows::place(QWidget *window, const QString &key, QWidget *besideOf)
{
    m_placed.insert(window, Placed{key, besideOf, false});
    window->installEventFilter(this);
}

bool DeskWindows::eventFilter(QObject *watched, QEvent *e)
{
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || e->spontaneous())
        return false;
    if (e->type() == QEvent::Show && m_placed.contains(w)) {
        restore(w, m_placed[w]);
    } else if (e->type() == QEvent::Hide) {
        if (m_placed.contains(w))
            save(w, m_placed[w]);
        bool childClosed = false, childOpen = false;
        for (const auto &[child, opener] : std::as_const(m_children)) {
            childClosed = childClosed || child == w;
            childOpen = childOpen || opener->isLoaded();
        }
        if (childClosed && !childOpen)
            m_station.childWindowClosed();
    }
    return false;
}

void DeskWindows::restore(QWidget *w, Placed &p)
{
    const QList<QRect> screens = availableAreas();
    if (!p.restored) {
        p.restored = true;
        const QByteArray saved =
            m_settings ? m_settings->value(QStringLiteral("windows/") + p.key).toByteArray()
                       : QByteArray();
        if (!saved.isEmpty())
            w->restoreGeometry(saved);
    }
    if (p.beside && p.beside->isVisible() &&
        w->frameGeometry().intersects(p.beside->frameGeometry()))
        moveFrame(w, WindowPlacement::beside(w->frameGeometry().size(), p.beside->frameGeometry(),
                                             screens));
    const QRect frame = w->frameGeometry();
    const QRect fitted = WindowPlacement::onScreen(frame, screens);
    if (fitted != frame)
        moveFrame(w, fitted);
}

void DeskWindows::save(QWidget *w, const Placed &p)
{
    if (m_settings && p.restored)
        m_settings->setValue(QStringLiteral("windows/") + p.key, w->saveGeometry());
}

void DeskWindows::bringBackOnScreen()
{
    const QList<QRect> screens = availableAreas();
    for (auto it = m_placed.cbegin(); it != m_placed.cend(); ++it) {
        QWidget *w = it.key();
        if (!w->isVisible())
            continue;
        const QRect frame = w->frameGeometry();
        const QRect fitted = WindowPlacement::onScreen(frame, screens);
        if (fitted != frame)
            moveFrame(w, fitted);
    }
}
