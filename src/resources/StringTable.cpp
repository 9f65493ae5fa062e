#include "resources/StringTable.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct StringEntry {
  unsigned int id;
  const char* text;
};

// Sorted by id.
constexpr StringEntry kStrings[] = {
    {102, "Version 5,0,20,0"},
    {103, "Oskaveld Software"},
    {104, "%d Degrees"},
    {105, "Velloran"},
    {107, "Oskaveld Velloran"},
    {110, "You entered an invalid path."},
    {111, "Error"},
    {112, "%d images transferred"},
    {117, "ready"},
    {118, "You probably should restart your application to apply logger settings."},
    {119, "Log file is not found."},
    {128, "\"Dev Mode\" and \"Delete Files\" cannot be set at one time. \"Delete Files\" was reset."},
    {129, "Warning"},
    {130, "\"Delete Files\" and \"Dev Mode\" cannot be set at one time. \"Dev Mode\" was reset."},
    {133, "%d out of %d"},
    {138, "Oskaveld MFP Velloran"},
    {139, "Oskaveld"},
    {143, "There is no connection to Xerox MFP device. Probably device does not support EIP or it is "
          "disabled."},
    {148, "Page: %d of %d"},
    {150, "https://%s/webservices/office/template_management/1"},
    {153, "Oskaveld Remote Velloran"},
    {154, "There is error during connection to server. Please check if you have entered correct "
          "settings and server is available through network"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }));

}  // namespace

const char* FindResourceString(unsigned int id) {
  const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                   [](const StringEntry& entry, unsigned int key) { return entry.id < key; });
  if (it == std::end(kStrings) || it->id != id) return nullptr;
  return it->text;
}

std::string LoadResourceString(unsigned int id) {
  const char* text = FindResourceString(id);
  return text ? std::string(text) : std::string();
}

int LoadString(unsigned int id, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  const char* text = FindResourceString(id);
  if (text == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  const std::size_t length = std::min(std::strlen(text), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}
