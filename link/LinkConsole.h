#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// What the machine link needs of the call console: the displays the engine and the reset
// dialogue write, and the console actions they call back. The call console implements it; tests
// use a recording one. The link never reaches a widget directly.
class LinkConsole
{
public:
    virtual ~LinkConsole() = default;

    // Progress bar
    virtual void setProgressMaximum(int max) = 0;
    virtual int progressMaximum() const = 0;
    virtual void setProgressValue(int value) = 0;
    virtual int progressValue() const = 0;
    // Receive box: the assembled text of the frame being received (Latin-1).
    virtual void showReceiveText(const QByteArray &text) = 0;
    // Frame-number box: the last accepted frame number, in decimal ("" clears it).
    virtual void showFrameNumber(const QString &text) = 0;
    // Command status line.
    virtual void setStatusLine(const QString &text) = 0;
    // The reset the console started is over: its button starts the next one again.
    virtual void resetAlarmEnded() = 0;
    // The seven command buttons.
    virtual void setCommandsEnabled(bool on) = 0;
    // The GSM number of the selected machine; names its snapshot file.
    virtual QString machineNumber() const = 0;

    // `Command4_Click`: hangs the call up.
    virtual void hangUp() = 0;
    // `Command6_Click`: starts the reset-alarm dialogue, or cancels the running one.
    virtual void resetAlarmClick() = 0;
    // A read's file was written where the operator chose.
    virtual void fileSaved(const QString &path) { Q_UNUSED(path); }
    // An audit read has ended: the framed image is in `AuditImage`; the console converts it.
    virtual void auditDownloaded() = 0;
    // The same for a console that saves the conversion off the event thread: the transfer ends
    // once it calls converted.
    virtual void auditDownloaded(std::function<void()> converted)
    {
        auditDownloaded();
        converted();
    }
};
