// The source's string table: texts keyed by the numbers the dialogs, the
// identity and the messages refer to.
#pragma once

#include <string>

// Copies string `id` into `buffer` the way the Windows string loader does:
// at most size - 1 characters followed by a terminating NUL, longer texts cut.
// Returns the number of characters copied (without the NUL). An unknown id
// leaves an empty string and returns 0; a null buffer or a size below 1 writes
// nothing and returns 0.
int LoadString(unsigned int id, char* buffer, int size);

// The whole text of string `id`, or an empty string when the table has none.
std::string LoadResourceString(unsigned int id);

// The text of string `id`, or nullptr when the table has none.
const char* FindResourceString(unsigned int id);
