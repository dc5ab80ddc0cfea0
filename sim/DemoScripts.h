#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The conversion files of the demonstration machines: the script "decod.asm" and the address
// table "address.asm" that turn a simulated controller's audit image into an EVA-DTS audit file.
namespace DemoScripts {

// The files' contents, lines ended CR LF.
QByteArray script();
QByteArray addresses();

// Writes each of the two files that programFolder lacks; files already there are the
// operator's and stay as they are. written gets the paths written. False, with a one-line
// reason, when a file could not be written.
bool install(const QString &programFolder, QStringList *written = nullptr,
             QString *error = nullptr);

} // namespace DemoScripts
