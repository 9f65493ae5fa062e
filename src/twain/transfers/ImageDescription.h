#pragma once

#include "twain/twain.h"

class CxImage;

// The answers of DAT_IMAGEINFO and DAT_PALETTE8 for one page, read from the page as it will be
// transferred.

// TWPT_BW for 1 bit per pixel, TWPT_GRAY for a gray-ramp colour table, TWPT_PALETTE for any
// other depth up to 8 bits, TWPT_RGB above.
TW_INT16 TransferPixelType(const CxImage& image);

// Resolution, size, depth, samples (3 x 8 above 23 bits, else one sample of the whole depth),
// chunky, uncompressed.
void DescribeImage(const CxImage& image, TW_IMAGEINFO& info);

// Palette type, number of colours and one entry per colour-table entry (red, green, blue);
// entries past the colour table stay as the application passed them. A 24-bit page has none.
void DescribePalette(const CxImage& image, TW_PALETTE8& palette);
