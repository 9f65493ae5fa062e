#pragma once

class CxImage;

// The page for the native transfer: its whole bitmap block (header, colour table, bottom-up
// rows) copied once into zeroed memory that the application owns and releases with free().
// nullptr when the page is empty or the memory cannot be had.
void* CopyBitmapForApplication(const CxImage& image);
