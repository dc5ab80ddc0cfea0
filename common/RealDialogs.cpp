#include "RealDialogs.h"
#include "Runtime.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QMessageBox>

MsgResult RealDialogs::message(const QString &text, MsgButtons buttons, MsgIcon icon,
                               const QString &title)
{
    return show(text, buttons, icon, title, false);
}

MsgResult RealDialogs::ask(MsgId id, const QString &text, MsgButtons buttons, MsgIcon icon,
                           const QString &title)
{
    return show(text, buttons, icon, title, id == MsgId::EraseAudit);
}

MsgResult RealDialogs::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                            const QString &title, bool defaultNo)
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
    if (defaultNo && (set & B::No)) {
        box.setDefaultButton(B::No);
        box.setEscapeButton(B::No);
    }
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
    // Each kind of file (by the proposed name's extension) starts where the last one went.
    const QString kind = QFileInfo(suggested).suffix().toLower();
    const QString key = QStringLiteral("folders/") + (kind.isEmpty() ? QStringLiteral("any") : kind);
    QString folder = m_settings ? m_settings->value(key).toString() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = dir;
    const QString start = suggested.isEmpty() ? folder : QDir(folder).filePath(suggested);
    const QString chosen = QFileDialog::getSaveFileName(nullptr, title, start, filter);
    if (!chosen.isEmpty() && m_settings)
        m_settings->setValue(key, QFileInfo(chosen).absolutePath());
    return chosen;
}
