#include "FrameAssembler.h"

#include "Frames.h"

namespace {
// Modes without a length limit would otherwise let endless line noise grow the text for ever;
// no real frame comes near this.
constexpr qsizetype Runaway = 4096;
} // namespace

FrameAssembler::Result FrameAssembler::feed(char c, int limit)
{
    if (c == Frames::SOH) {
        m_text = Frames::SohText;
    } else if (c == Frames::EOT) {
        m_text += Frames::EotText;
    } else {
        if (m_text.size() >= Runaway)
            m_text.clear();
        m_text += c;
    }
    if (limit > 0 && m_text.size() >= limit)
        return TooLong;
    return c == Frames::EOT ? Complete : More;
}
