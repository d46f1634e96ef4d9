#include "Chunker.h"

#include <algorithm>

namespace modemsim {

Chunker::Chunker(quint32 seed, int maxBytes, int maxDelayMs)
    : m_random(seed), m_bytes(1, std::max(1, maxBytes)), m_delayMs(0, std::max(0, maxDelayMs))
{}

Chunker::Piece Chunker::next()
{
    const int bytes = m_bytes(m_random);
    return Piece{bytes, m_delayMs(m_random)};
}

} // namespace modemsim
