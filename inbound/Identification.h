#pragma once

#include <QByteArray>

// The one line a machine sends after connecting: its GSM number or its Identity, ended by CR or
// LF. Line breaks before it (a router's greeting) are skipped; every byte counts against the
// limit, so a peer that never ends its line costs at most limit + 1 bytes.
struct Identification
{
    enum class State { NeedMore, Complete, TooLong };
    State state = State::NeedMore;
    QByteArray identity; // surrounding blanks removed (Complete only)
    qsizetype consumed = 0; // bytes of the buffer the line used, its end included

    static Identification parse(const QByteArray &buffer, int limit);
};

// A peer's bytes fit for one log line: printable ASCII as it is, anything else as \xNN, and at
// most maxBytes of it.
QString printableBytes(const QByteArray &bytes, int maxBytes = 64);
