// A desktop toolkit that shows nothing: it keeps what it was asked to do so
// that a test can run the posted work and answer the sheet itself.
#pragma once

#include <functional>
#include <vector>

#include "platform/app_shell/desktop_toolkit.h"

namespace tarnwick::testing {

class RecordingToolkit final : public platform::app_shell::DesktopToolkit {
 public:
  struct Presentation {
    platform::app_shell::SheetContent content;
    std::function<void(platform::PermissionSheetAnswer)> answer;
  };

  void post(std::function<void()> task) override { posted.push_back(std::move(task)); }
  // Runs launched and returns, as if the loop had been stopped after it.
  void run(std::function<void()> launched) override {
    ++runs;
    launched();
  }
  void activate() override { ++activations; }
  void presentSheet(platform::app_shell::SheetContent content,
                    std::function<void(platform::PermissionSheetAnswer)> answer) override {
    presentations.push_back({std::move(content), std::move(answer)});
  }

  std::vector<std::function<void()>> posted;
  std::vector<Presentation> presentations;
  int runs = 0;
  int activations = 0;
};

}  // namespace tarnwick::testing
