#pragma once

#include <QtGlobal>

#include <random>

namespace modemsim {

// Where the modem's output is cut and how long each piece waits before the next, drawn from a seeded
// generator so a test sees the same cuts on every run.
class Chunker
{
public:
    struct Piece
    {
        int bytes = 1;
        int delayMs = 0; // after this piece, before the next one
    };

    Chunker(quint32 seed, int maxBytes, int maxDelayMs);

    Piece next();

private:
    std::mt19937 m_random;
    std::uniform_int_distribution<int> m_bytes;
    std::uniform_int_distribution<int> m_delayMs;
};

} // namespace modemsim
