#pragma once

#include <string>

class SettingsStore;

// Which received or listed files the source treats as images, and which ones end a batch.

// The extension of the path's file-name part: the text from its last ".", the dot included;
// empty when the name has no dot.
std::string PathExtension(const std::string& path);

// True when the extension names one of the image formats the source reads (".png", ".tif",
// ".pdf", ...), compared without regard to case. The content decides the decoder later.
bool IsSupportedImageFile(const std::string& path);

// True when the extension is ".pdf" without regard to case: such files are rendered, not decoded.
bool IsPdfFile(const std::string& path);

// True for an end-of-scan marker: the path contains "SCANFINISHEDMARKER.MRK", or contains
// "XEROXFINISHEDMARKER.MRK" while XeroxStopMarkerEnable is set (read at the call).
bool IsMarkerFile(const std::string& path, const SettingsStore& settings);
