#pragma once

#include "FrameAssembler.h"
#include "LinkConsole.h"

// The receive box: the receiver's assembled text, mirrored on the console's display. Everything
// that clears "the receive box" clears the working text too, since the length limits count it.
struct ReceiveBox
{
    FrameAssembler assembler;
    LinkConsole *console = nullptr;

    const QByteArray &text() const { return assembler.text(); }
    void clear()
    {
        assembler.clear();
        show();
    }
    void show()
    {
        if (console)
            console->showReceiveText(assembler.text());
    }
};
