#pragma once

#include <string>

namespace fileformats {

// Poppler reports what it finds wrong in a document through one process-wide handler. Ours
// keeps the messages of the calling thread, so that a failed open can say why, and keeps them
// off the host application's standard error.
void CapturePopplerMessages();

// Forgets this thread's messages.
void ClearPopplerMessages();

// This thread's first message since the last clear ("" when none): the first complaint names
// the cause, the later ones its consequences.
std::string FirstPopplerMessage();

}  // namespace fileformats
