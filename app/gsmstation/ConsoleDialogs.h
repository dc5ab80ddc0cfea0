#pragma once

#include "Dialogs.h"

// Message boxes for a station that runs without a display: each box is printed and answered
// with its last button (Cancel, No, Ignore), so an unattended demonstration never blocks.
class ConsoleDialogs : public Dialogs
{
public:
    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;

private:
    ScriptedDialogs m_answers;
};
