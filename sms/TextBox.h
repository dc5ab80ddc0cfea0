#pragma once

#include <QFont>
#include <QPlainTextEdit>
#include <QString>

// The station's multi-line text boxes hold their line breaks as CR LF, which is what is counted,
// sent and logged; the widget keeps plain line feeds.
namespace TextBox {
inline QString text(const QPlainTextEdit *box)
{
    return box->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}
inline void setText(QPlainTextEdit *box, QString text)
{
    box->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}
// The fixed-pitch "Terminal" face, or the system's fixed-pitch face where it is missing.
inline QFont terminalFont()
{
    QFont f(QStringLiteral("Terminal"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}
// Design positions are in twips; the screen has 15 twips to a pixel.
constexpr int px(int twips)
{
    return twips / 15;
}
} // namespace TextBox
