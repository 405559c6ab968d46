#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/app_shell/app_shell_factories.h"
#include "platform/app_shell/sheet_content.h"
#include "recording_toolkit.h"
#include "shell/main_queue.h"

namespace tarnwick::testing {
namespace {

using platform::PermissionSheetAnswer;
using Outcome = PermissionSheetAnswer::Outcome;

class CountingDelegate final : public platform::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching() override { ++launches; }
  int launches = 0;
};

// A main-thread queue that keeps what is posted to it and stops where the
// process's queue would serve forever.
class RecordingQueue final : public platform::MainThreadQueue {
 public:
  struct ServingStarted {};
  void post(Task task) override { tasks.push_back(std::move(task)); }
  [[noreturn]] void serveForever() override { throw ServingStarted{}; }
  void redirect(std::function<void(Task)>) override { ++redirects; }
  std::vector<Task> tasks;
  int redirects = 0;
};

TEST(HeadlessApplicationTest, RunLaunchesTheDelegateFromTheQueueItIsGivenAndServesThatQueue) {
  RecordingQueue queue;
  CountingDelegate delegate;
  std::unique_ptr<platform::Application> application = platform::app_shell::makeHeadlessApplication("No display.");
  application->setDelegate(&delegate);
  EXPECT_THROW(application->run(queue), RecordingQueue::ServingStarted);
  // The launch is queued, not called: it must run once the main thread
  // serves the queue, after anything posted before it.
  EXPECT_EQ(delegate.launches, 0);
  ASSERT_EQ(queue.tasks.size(), 1u);
  queue.tasks.front()();
  EXPECT_EQ(delegate.launches, 1);
  EXPECT_EQ(queue.redirects, 0);
}

// The one test in this binary that hands the main queue to an event loop:
// once redirected, it stays so for the rest of the process.
TEST(DesktopApplicationTest, RunLaunchesTheDelegateAndServesTheMainQueueInTheLoop) {
  RecordingToolkit toolkit;
  CountingDelegate delegate;
  std::unique_ptr<platform::Application> application = platform::app_shell::makeDesktopApplication(toolkit);
  application->setActivationPolicy(platform::ActivationPolicy::accessory);
  application->setDelegate(&delegate);
  application->run(shell::MainQueue::forApplication());
  EXPECT_EQ(toolkit.runs, 1);
  EXPECT_EQ(delegate.launches, 1);

  // Work for the main thread must reach the loop that owns it, or a sheet
  // posted there would never appear.
  int ran = 0;
  shell::MainQueue::post([&ran] { ++ran; });
  ASSERT_EQ(toolkit.posted.size(), 1u);
  toolkit.posted.front()();
  EXPECT_EQ(ran, 1);

  application->activateIgnoringOtherApps(true);
  EXPECT_EQ(toolkit.activations, 1);
}

TEST(ToolkitPermissionSheetTest, ShowsWordedRowsAndAnswersTheStoreExactlyOnce) {
  RecordingToolkit toolkit;
  std::shared_ptr<platform::PermissionSheet> sheet = platform::app_shell::makeToolkitPermissionSheet(toolkit);
  const std::string steps(health::kStepCountIdentifier);
  platform::PermissionSheetRequest request;
  request.readTypes = {{health::ObjectKind::quantity, steps}};

  std::vector<PermissionSheetAnswer> answers;
  sheet->present(request, [&answers](PermissionSheetAnswer answer) { answers.push_back(std::move(answer)); });
  ASSERT_EQ(toolkit.presentations.size(), 1u);
  const auto& shown = toolkit.presentations.front();
  ASSERT_EQ(shown.content.readRows.size(), 1u);
  EXPECT_EQ(shown.content.readRows[0].label, "Steps");
  EXPECT_TRUE(shown.content.shareRows.empty());

  // A window closing right after its button was pressed must not decide
  // the request a second time.
  shown.answer({Outcome::allow, {{steps, true}}, {}});
  shown.answer({Outcome::dismissed, {}, {}});
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].outcome, Outcome::allow);
  EXPECT_EQ(answers[0].readAllowed, (std::map<std::string, bool>{{steps, true}}));
}

}  // namespace
}  // namespace tarnwick::testing
