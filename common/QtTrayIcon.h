#pragma once

#include "TrayIcon.h"

#include <QIcon>
#include <QList>

class QSystemTrayIcon;

// The icon in the desktop's notification area: images by index, mouse buttons passed on.
class QtTrayIcon : public TrayIcon
{
    Q_OBJECT
public:
    explicit QtTrayIcon(const QList<QIcon> &images, QObject *parent = nullptr);
    void show() override;
    void remove() override;
    void setIcon(int image) override;
    void setToolTip(const QString &text) override;
    void showMessage(const QString &title, const QString &text) override;
    bool available() const override;

private:
    QSystemTrayIcon *m_tray;
    QList<QIcon> m_images;
};
