#pragma once

#include <QList>
#include <QString>
#include <QStringList>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgResult { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
// What a box is about, beside its text, for those who answer by policy instead of reading it.
enum class MsgId { Other, WaitForReset, EraseAudit, NoDifference };

// Message boxes and the open/save file dialogs. A title left empty shows the program's name.
// Once the program ends nothing is shown: a message box answers with the last button of its set
// (Cancel, No, Ignore) and a file dialog is cancelled, so no window holds up the end.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual MsgResult message(const QString &text, MsgButtons buttons = MsgButtons::Ok,
                              MsgIcon icon = MsgIcon::None, const QString &title = {}) = 0;
    // Both return the chosen path, or an empty string when the operator cancelled.
    virtual QString openFile(const QString &title, const QString &filter, const QString &dir) = 0;
    virtual QString saveFile(const QString &title, const QString &filter, const QString &dir,
                             const QString &suggested = {}) = 0;

    // The same box with its identity: a person reads the text, a policy goes by the identity.
    virtual MsgResult ask(MsgId, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                          MsgIcon icon = MsgIcon::None, const QString &title = {})
    {
        return message(text, buttons, icon, title);
    }

    static QString programTitle();
    // The button of a set that declines (Cancel, No, Ignore): the answer once the program ends
    // and where nobody answers, so an unattended run never loops on "Retry".
    static MsgResult lastButton(MsgButtons buttons);
};

// Answers from a script and records every box it was asked to show. An unscripted message box
// is answered with the last button of its set (Cancel, No, Ignore); an unscripted file dialog
// is cancelled. Once the program ends, boxes are neither shown nor recorded, as on the desktop.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Open, Save } kind = Message;
        QString text;  // message text, or the file dialog's title
        QString title; // message title ("" when the default was used), or the filter
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::Ok;
        MsgResult answer = MsgResult::Ok;
        QString path;  // the file name given back
        qint64 at = 0; // when it was shown (runtime milliseconds)
        QString suggested; // the name a save dialog proposed
    };

    void answerNext(MsgResult r) { m_answers << r; }
    void chooseFileNext(const QString &path) { m_files << path; }

    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;

    const QList<Shown> &shown() const { return m_shown; }
    // Only the message boxes, as "title|text" strings, for compact assertions.
    QStringList messages() const;
    // The message boxes in full: "title|text|icon|buttons", e.g. "PIN|Error PIN|Critical|Ok".
    QStringList boxes() const;
    void clear() { m_shown.clear(); }
    int unusedAnswers() const { return int(m_answers.size()); }

private:
    QList<MsgResult> m_answers;
    QStringList m_files;
    QList<Shown> m_shown;
};
