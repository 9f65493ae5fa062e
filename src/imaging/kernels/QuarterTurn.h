#pragma once

#include <cstddef>
#include <cstdint>

// Copies for quarter turns. In stored rows (bottom-up), destination row dr, column dx takes,
// for a quarter turn (90 degrees clockwise), source row dx, column width - 1 - dr; for three
// quarters, source row height - 1 - dx, column dr. The destination is height pixels wide and
// width pixels high.
namespace imaging {

struct QuarterTurn {
  const uint8_t* source = nullptr;  // stored row 0
  ptrdiff_t sourceStride = 0;
  uint32_t width = 0;   // of the source
  uint32_t height = 0;  // of the source
  uint8_t* destination = nullptr;  // stored row 0
  ptrdiff_t destinationStride = 0;
  bool threeQuarters = false;

  uint32_t SourceRow(uint32_t dx) const { return threeQuarters ? height - 1 - dx : dx; }
  uint32_t SourceColumn(uint32_t dr) const { return threeQuarters ? dr : width - 1 - dr; }
};

// Destination rows [dr0, dr1), whole rows, of a turn of 24-bit pixels. The band is written
// left to right, 4 x 4 pixels at a time for all its rows, so every destination row is written
// as one stream while the source rows are read a few pixels at a time; bands of about 16 rows
// read whole cache lines from each source row.
void TurnBand24(const QuarterTurn& turn, uint32_t dr0, uint32_t dr1);

// Destination rows [dr0, dr1), whole rows, of a turn of 1-bit pixels, whose rows the caller has
// cleared. Bands of 8 rows go 8 x 8 pixels at a time (a bit-matrix transpose per byte).
void TurnBand1(const QuarterTurn& turn, uint32_t dr0, uint32_t dr1);

// Destination rows [dr0, dr1) x columns [dx0, dx1) of a turn of 8-bit pixels.
void TurnTile8(const QuarterTurn& turn, uint32_t dr0, uint32_t dr1, uint32_t dx0, uint32_t dx1);

}  // namespace imaging
