#include "renderer/lineoutbox.h"

namespace {

// Enough for a message to cost little per line, little enough that lines reach the window soon.
constexpr int batchLines = 512;
constexpr qint64 batchCharacters = 1 << 16;

} // namespace

bool LineOutbox::add(const ConsoleLine &line)
{
    if (!wantsLines()) {
        count(1);
        return false;
    }
    ++sentInPart;
    waiting.lines.append(line);
    waitingCharacters += line.text.size();
    return waiting.lines.size() >= batchLines || waitingCharacters >= batchCharacters;
}

RenderProtocol::Lines LineOutbox::take()
{
    RenderProtocol::Lines taken;
    std::swap(taken, waiting);
    waitingCharacters = 0;
    return taken;
}
