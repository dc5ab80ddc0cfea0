#include "QtTrayIcon.h"

#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon(const QList<QIcon> &images, QObject *parent)
    : TrayIcon(parent), m_tray(new QSystemTrayIcon(this)), m_images(images)
{
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        switch (r) {
        case QSystemTrayIcon::DoubleClick:
            emit doubleClicked();
            break;
        case QSystemTrayIcon::Context:
            emit mouseButton(2);
            break;
        case QSystemTrayIcon::Trigger:
            emit mouseButton(1);
            break;
        case QSystemTrayIcon::MiddleClick:
            emit mouseButton(4);
            break;
        default:
            break;
        }
    });
}

bool QtTrayIcon::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::show()
{
    TrayIcon::show();
    if (m_tray->icon().isNull() && !m_images.isEmpty())
        m_tray->setIcon(m_images.first());
    m_tray->show();
}

void QtTrayIcon::remove()
{
    TrayIcon::remove();
    m_tray->hide();
}

void QtTrayIcon::setIcon(int image)
{
    TrayIcon::setIcon(image);
    if (image >= 0 && image < m_images.size())
        m_tray->setIcon(m_images.at(image));
}

void QtTrayIcon::setToolTip(const QString &text)
{
    TrayIcon::setToolTip(text);
    m_tray->setToolTip(text);
}

void QtTrayIcon::showMessage(const QString &title, const QString &text)
{
    TrayIcon::showMessage(title, text);
    if (m_tray->isVisible())
        m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
}
