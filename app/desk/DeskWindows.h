#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QSettings;
class QWidget;
class FrmStGSM;
class WindowOpener;

// How the station's windows behave together on the desktop:
// - a window that hid the main window (the console, the send window) gives it back when it
//   closes and no other such window is open, so without a tray the station is never lost;
// - with settings, each window opens where it was last left, brought back on screen when the
//   monitor layout shrank, and the incoming SMS window opens beside the main window rather than
//   over it.
class DeskWindows : public QObject
{
    Q_OBJECT
public:
    explicit DeskWindows(FrmStGSM &station, QObject *parent = nullptr);
    ~DeskWindows() override;

    // A window that hides the main window while it is loaded.
    void addChild(QWidget *window, const WindowOpener *opener);
    // Remembers the windows' places in settings (not owned), under their keys.
    void keepPlaces(QSettings *settings);
    void place(QWidget *window, const QString &key, QWidget *besideOf = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    struct Placed
    {
        QString key;
        QPointer<QWidget> beside;
        bool restored = false;
    };
    void restore(QWidget *w, Placed &p);
    void save(QWidget *w, const Placed &p);
    void bringBackOnScreen();

    FrmStGSM &m_station;
    QList<QPair<QWidget *, const WindowOpener *>> m_children;
    QSettings *m_settings = nullptr;
    QHash<QWidget *, Placed> m_placed;
};
