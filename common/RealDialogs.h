#pragma once

#include "Dialogs.h"

class QSettings;

// The desktop's message boxes and file dialogs. With settings, each kind of file is proposed in
// the folder the last one of its kind went to.
class RealDialogs : public Dialogs
{
public:
    explicit RealDialogs(QSettings *settings = nullptr) : m_settings(settings) {}

    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;
    // The erase question defaults to "No": Enter must not erase what cannot be read again.
    MsgResult ask(MsgId id, const QString &text, MsgButtons buttons, MsgIcon icon,
                  const QString &title) override;

private:
    MsgResult show(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title,
                   bool defaultNo);

    QSettings *m_settings;
};
