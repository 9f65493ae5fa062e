#pragma once

#include <memory>
#include <string>

// Puts the main dialog on the screen. The widgets live in the user interface process; when it
// cannot show them, the source must not wait for a Scan press that can never come.
class DialogPresenter {
 public:
  virtual ~DialogPresenter() = default;
  // Empty when the dialog is on the screen; otherwise why it cannot be.
  virtual std::string Present() = 0;
};

// The user interface process beside the data source. It needs a display and the program
// `velloran-ui` in the data source's own folder.
std::unique_ptr<DialogPresenter> MakeUserInterfacePresenter();
