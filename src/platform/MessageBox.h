#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageIcon { Error, Warning, Information };

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Error;
};

using MessageBoxPresenter = std::function<void(const MessageBoxRequest&)>;

// Shows a message box without an owner window and returns once it is dismissed (or at once
// when nothing can show it). It goes to the installed presenter; without one, to the message
// box log. Callable from any thread.
void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon);

// Installs the presenter (the user interface connection, or a recorder in tests) and returns
// the one it replaces; an empty presenter removes it.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Where message boxes go when no presenter is installed: the logging set-up installs a writer
// to the log. Returns the writer it replaces.
MessageBoxPresenter SetMessageBoxLog(MessageBoxPresenter writer);

// Whether a graphical display is available ($DISPLAY or $WAYLAND_DISPLAY set and not empty).
bool HasDisplay();

}  // namespace platform
