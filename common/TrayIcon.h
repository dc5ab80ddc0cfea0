#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QMenu;

// The notification-area icon. This base class only keeps the state it was given, which is all a
// test needs; QtTrayIcon (in the window library) shows it on the desktop.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void show()
    {
        m_visible = true;
        emit changed();
    }
    virtual void remove()
    {
        m_visible = false;
        emit changed();
    }
    // image: index of one of the four tray images (0 error, 1 modem answering, 3 direct connect).
    virtual void setIcon(int image)
    {
        m_icon = image;
        emit changed();
    }
    virtual void setToolTip(const QString &text)
    {
        m_toolTip = text;
        emit changed();
    }
    // Registered (1) or not (0); kept for whoever reads it, not drawn.
    void setState(int value)
    {
        m_state = value;
        emit changed();
    }
    // A balloon message beside the icon, for what happened while nobody watched.
    virtual void showMessage(const QString &title, const QString &text)
    {
        m_messageTitle = title;
        m_messageText = text;
        emit messageShown(title, text);
    }
    // The menu the tray offers on the right button (not owned).
    virtual void setMenu(QMenu *menu) { m_menu = menu; }
    // True when the desktop can show the icon at all.
    virtual bool available() const { return true; }

    bool isVisible() const { return m_visible; }
    int icon() const { return m_icon; }
    QString toolTip() const { return m_toolTip; }
    int state() const { return m_state; }
    QMenu *menu() const { return m_menu; }
    // The last balloon message ("" before the first).
    QString messageTitle() const { return m_messageTitle; }
    QString messageText() const { return m_messageText; }

signals:
    void changed();
    void messageShown(const QString &title, const QString &text);
    void doubleClicked();
    // Mouse button code: 1 left, 2 right, 4 middle.
    void mouseButton(int button);

private:
    bool m_visible = false;
    int m_icon = -1;
    int m_state = 0;
    QString m_toolTip;
    QString m_messageTitle;
    QString m_messageText;
    QMenu *m_menu = nullptr;
};
