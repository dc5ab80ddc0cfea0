#pragma once

#include <QByteArray>

// Builds the receiver's text from single characters: SOH clears it and is written "<SOH>", EOT is
// written "<EOT>", everything else as itself. Pure; the receiver decides what a result means.
class FrameAssembler
{
public:
    enum Result { More, Complete, TooLong };

    // Appends one character. limit 0 means no limit; a text as long as the limit or longer is
    // TooLong (and is left for the caller to clear).
    Result feed(char c, int limit);
    const QByteArray &text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    QByteArray m_text;
};
