// How far a carved file's content vouches for itself.
#pragma once

#include <cstdint>
#include <string>

namespace verandol {

enum class CarveCheck : std::uint8_t {
    Verified,    // a checksum covers every byte, and every one matched
    Complete,    // the structure closes at its end, but no checksum covers it
    Incomplete,  // the structure begins but cannot be followed to its end
};

// "verified", "complete" or "incomplete", as the command line prints it.
const char* CarveCheckText(CarveCheck check);

// The weaker of two verdicts: a file is no better than its worst part.
constexpr CarveCheck Weaker(CarveCheck a, CarveCheck b) { return a > b ? a : b; }

// Where a carved file lies on its volume and what its content said of it:
// what a listed row carries to its recovery.
struct CarvedExtent {
    std::int64_t position = 0;  // first byte on the volume
    std::int64_t length = 0;
    CarveCheck check = CarveCheck::Incomplete;
    // A file in two pieces: its bytes from offset `gap_at` on lie
    // `gap_bytes` further on, past another file's clusters. No gap when 0.
    std::int64_t gap_at = 0;
    std::int64_t gap_bytes = 0;
};

// Where a carved file's pieces lie on the volume: one, or two with a gap.
struct CarvedPiece {
    std::int64_t position = 0;
    std::int64_t length = 0;
};
struct CarvedPieces {
    CarvedPiece first;
    CarvedPiece second;  // length 0 when the file is in one piece
};
CarvedPieces PiecesOf(const CarvedExtent& extent);

}  // namespace verandol
