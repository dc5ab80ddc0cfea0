#pragma once

#include "Dialogs.h"

// The desktop's message boxes and file dialogs.
class RealDialogs : public Dialogs
{
public:
    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;
};
