#include "RealDialogs.h"
#include "Runtime.h"

#include <QFileDialog>
#include <QMessageBox>

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
