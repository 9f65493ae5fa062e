#pragma once

// Where the pages of a batch come from: the bits of the key Mode (section General). The dialog's
// MFP page writes 2 or 4; the remote scanner comes from the installed settings file.
namespace scan_mode {

inline constexpr int kFilesOnDisk = 0x01;    // a folder or the file list
inline constexpr int kMfpFtp = 0x02;         // an MFP uploads to the built-in FTP server
inline constexpr int kXeroxTemplate = 0x04;  // the same, after a scan template is put on a Xerox MFP
inline constexpr int kRemoteScanner = 0x08;  // a scanner on another computer instead of the FTP server

inline bool IsDisk(int mode) { return (mode & kFilesOnDisk) != 0; }
// Every other value is a network source, whose files arrive while the batch runs.
inline bool IsNetwork(int mode) { return !IsDisk(mode); }
inline bool PutsXeroxTemplate(int mode) { return (mode & kXeroxTemplate) != 0; }
inline bool UsesRemoteScanner(int mode) { return (mode & kRemoteScanner) != 0; }

}  // namespace scan_mode
