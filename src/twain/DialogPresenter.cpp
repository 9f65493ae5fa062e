#include "twain/DialogPresenter.h"

#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "platform/MessageBox.h"

namespace {

constexpr const char* kProgramName = "velloran-ui";

class UserInterfacePresenter final : public DialogPresenter {
 public:
  std::string Present() override {
    if (!platform::HasDisplay()) return "there is no display (DISPLAY and WAYLAND_DISPLAY are unset)";
    const std::string program = platform::OwnModuleFolder() + kProgramName;
    if (!platform::RegularFileExists(program)) return "the user interface program " + program + " is missing";
    return "the user interface program " + program + " cannot be started by this version";
  }
};

}  // namespace

std::unique_ptr<DialogPresenter> MakeUserInterfacePresenter() { return std::make_unique<UserInterfacePresenter>(); }
