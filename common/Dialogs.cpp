#include "Dialogs.h"
#include "Runtime.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

QString Dialogs::programTitle()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("gsmstation") : name;
}

namespace {
// The last button of a set is the one that declines (Cancel, No, Ignore): an unattended run
// never loops on "Retry".
MsgResult lastButton(MsgButtons b)
{
    switch (b) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::AbortRetryIgnore:
        return MsgResult::Ignore;
    case MsgButtons::YesNo:
        return MsgResult::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    }
    return MsgResult::Ok;
}
} // namespace

MsgResult RealDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                               const QString &title)
{
    if (Runtime::current().isEnding())
        return lastButton(buttons);
    QMessageBox box;
    box.setWindowTitle(title.isEmpty() ? programTitle() : title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    using B = QMessageBox;
    B::StandardButtons set;
    switch (buttons) {
    case MsgButtons::Ok:
        set = B::Ok;
        break;
    case MsgButtons::OkCancel:
        set = B::Ok | B::Cancel;
        break;
    case MsgButtons::AbortRetryIgnore:
        set = B::Abort | B::Retry | B::Ignore;
        break;
    case MsgButtons::YesNoCancel:
        set = B::Yes | B::No | B::Cancel;
        break;
    case MsgButtons::YesNo:
        set = B::Yes | B::No;
        break;
    case MsgButtons::RetryCancel:
        set = B::Retry | B::Cancel;
        break;
    }
    box.setStandardButtons(set);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (box.exec()) {
    case B::Ok:
        return MsgResult::Ok;
    case B::Abort:
        return MsgResult::Abort;
    case B::Retry:
        return MsgResult::Retry;
    case B::Ignore:
        return MsgResult::Ignore;
    case B::Yes:
        return MsgResult::Yes;
    case B::No:
        return MsgResult::No;
    default:
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
}

QString RealDialogs::openFile(const QString &title, const QString &filter, const QString &dir)
{
    if (Runtime::current().isEnding())
        return {};
    return QFileDialog::getOpenFileName(nullptr, title, dir, filter);
}

QString RealDialogs::saveFile(const QString &title, const QString &filter, const QString &dir,
                              const QString &suggested)
{
    if (Runtime::current().isEnding())
        return {};
    const QString start = suggested.isEmpty() ? dir : dir + QLatin1Char('/') + suggested;
    return QFileDialog::getSaveFileName(nullptr, title, start, filter);
}

MsgResult ScriptedDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                                   const QString &title)
{
    if (Runtime::current().isEnding())
        return lastButton(buttons);
    const MsgResult r = m_answers.isEmpty() ? lastButton(buttons) : m_answers.takeFirst();
    m_shown << Shown{Shown::Message, text, title, icon, buttons, r, {}, Runtime::current().nowMs()};
    return r;
}

QString ScriptedDialogs::openFile(const QString &title, const QString &filter, const QString &)
{
    if (Runtime::current().isEnding())
        return {};
    const QString p = m_files.isEmpty() ? QString() : m_files.takeFirst();
    m_shown << Shown{Shown::Open,    title,         filter, MsgIcon::None,
                     MsgButtons::Ok, MsgResult::Ok, p,      Runtime::current().nowMs()};
    return p;
}

QString ScriptedDialogs::saveFile(const QString &title, const QString &filter, const QString &,
                                  const QString &)
{
    if (Runtime::current().isEnding())
        return {};
    const QString p = m_files.isEmpty() ? QString() : m_files.takeFirst();
    m_shown << Shown{Shown::Save,    title,         filter, MsgIcon::None,
                     MsgButtons::Ok, MsgResult::Ok, p,      Runtime::current().nowMs()};
    return p;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const auto &s : m_shown)
        if (s.kind == Shown::Message)
            out << s.title + QLatin1Char('|') + s.text;
    return out;
}

QStringList ScriptedDialogs::boxes() const
{
    static const char *const icons[] = {"None", "Critical", "Question", "Exclamation",
                                        "Information"};
    static const char *const sets[] = {"Ok",          "OkCancel", "AbortRetryIgnore",
                                       "YesNoCancel", "YesNo",    "RetryCancel"};
    QStringList out;
    for (const auto &s : m_shown)
        if (s.kind == Shown::Message)
            out << QStringList{s.title, s.text, QString::fromLatin1(icons[int(s.icon)]),
                               QString::fromLatin1(sets[int(s.buttons)])}
                       .join(QLatin1Char('|'));
    return out;
}
