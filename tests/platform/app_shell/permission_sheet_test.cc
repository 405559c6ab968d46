// The permission sheet on a real (virtual) X display, answered with the
// keystrokes a person would type.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/store_home.h"
#include "virtual_display.h"

namespace tarnwick::testing {
namespace {

// Each metric key's access as tarnwick-store reports it for home, e.g.
// {"steps", "read=authorized write=not determined"}.
std::map<std::string, std::string> permissions(const StoreHome& home) {
  std::map<std::string, std::string> table;
  std::istringstream lines(home.toolOutput({"permissions"}));
  for (std::string line; std::getline(lines, line);) {
    size_t space = line.find(' ');
    if (space != std::string::npos) table[line.substr(0, space)] = line.substr(space + 1);
  }
  return table;
}

// The permissions of a store nothing was ever decided in.
std::map<std::string, std::string> undecidedPermissions() {
  std::map<std::string, std::string> table;
  for (const char* key : {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"}) {
    table[key] = "read=not determined write=not determined";
  }
  return table;
}

constexpr const char* kAuthorizeAll = R"({"method":"authorize","sourceMode":"native"})";
constexpr const char* kDeniedEverywhere = "read=denied write=denied";

class PermissionSheetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = new VirtualDisplay; }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }

  void SetUp() override {
    xdotool_ = findOnPath("xdotool");
    if (!display_->running()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    if (xdotool_.empty()) GTEST_SKIP() << "xdotool is not installed";
#ifndef TARNWICK_DESKTOP_MODULE
    GTEST_SKIP() << "the desktop module was not built (GTK 4 development files missing)";
#endif
  }

  // Starts "authorize" with "--appkit" on store, on the suite's display
  // unless another is named; the answer comes once the sheet has been dealt
  // with.
  std::future<ProcessResult> startAuthorize(const StoreHome& store, const std::string& request,
                                            const std::string& display = "") {
    ProcessOptions options = onDisplay(store.options({"--appkit"}, request), display);
    return std::async(std::launch::async,
                      [options] { return runProcess(builtProgram("tarnwick"), options); });
  }

  // options with DISPLAY set to display, or to the suite's display.
  static ProcessOptions onDisplay(ProcessOptions options, const std::string& display = "") {
    options.environment["DISPLAY"] = display.empty() ? display_->name() : display;
    return options;
  }

  // An X client (program with arguments) on display, or on the suite's.
  static ProcessResult xClient(const std::string& program, std::vector<std::string> arguments,
                               const std::string& display = "") {
    ProcessOptions options;
    options.arguments = std::move(arguments);
    options.timeoutSeconds = 30;
    return runProcess(program, onDisplay(options, display));
  }

  ProcessResult xdotool(std::vector<std::string> arguments, const std::string& display = "") {
    return xClient(xdotool_, std::move(arguments), display);
  }

  // The sheet's X window id, once it is on screen.
  std::string waitForSheet(const std::string& display = "") {
    ProcessResult found = xdotool({"search", "--sync", "--onlyvisible", "--name", "^Health Access$"}, display);
    EXPECT_EQ(found.exitStatus, 0) << "the sheet did not appear";
    std::string window = found.standardOutput.substr(0, found.standardOutput.find('\n'));
    EXPECT_FALSE(window.empty());
    return window;
  }

  // Gives the sheet the keyboard (there is no window manager to do it) and
  // types keys into it.
  void type(const std::string& window, const std::vector<std::string>& keys, const std::string& display = "") {
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window}, display).exitStatus, 0);
    std::vector<std::string> arguments{"key", "--delay", "120"};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    ASSERT_EQ(xdotool(arguments, display).exitStatus, 0);
  }

  static ProcessResult finished(std::future<ProcessResult>& run) {
    EXPECT_EQ(run.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the bridge did not answer";
    ProcessResult result = run.get();
    EXPECT_EQ(result.standardError, "");
    return result;
  }

  // Writes the sheet as it looks now to path, waiting until it has been
  // drawn (an unpainted window captures as black).
  void screenshot(const std::string& window, const std::string& path) {
    std::string import = findOnPath("import");
    std::string convert = findOnPath("convert");
    if (import.empty() || convert.empty()) return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (xClient(import, {"-window", window, path}).exitStatus == 0) {
        ProcessOptions measure;
        measure.arguments = {path, "-format", "%[fx:mean]", "info:"};
        ProcessResult brightness = runProcess(convert, measure);
        if (brightness.exitStatus == 0 && std::atof(brightness.standardOutput.c_str()) > 0.3) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ADD_FAILURE() << "the sheet was never drawn";
  }

  static VirtualDisplay* display_;
  std::string xdotool_;
};

VirtualDisplay* PermissionSheetTest::display_ = nullptr;

std::string authorizeAnswer(bool granted, const char* status, const char* readTypes, const char* writeTypes) {
  return std::string(R"({"ok":true,"data":{"granted":)") + (granted ? "true" : "false") +
         R"(,"authorizationStatus":")" + status + R"(","readableTypes":)" + readTypes + R"(,"writableTypes":)" +
         writeTypes + R"(,"sourceMode":"native"}})" + "\n";
}

constexpr const char* kAllKeys = R"(["steps","sleep","heart_rate","hrv","weight","glucose","workout"])";

TEST_F(PermissionSheetTest, WhileEverySwitchIsOffThereIsNoAllow) {
  StoreHome store;
  auto run = startAuthorize(store, kAuthorizeAll);
  std::string window = waitForSheet();
  // Enter, and a switch turned on and off again, leave nothing to allow:
  // the sheet stays up. (A switch slides over before it counts: pauses.)
  for (const char* key : {"Return", "space", "space", "Return"}) {
    type(window, {key});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  EXPECT_EQ(run.wait_for(std::chrono::seconds(2)), std::future_status::timeout) << "the sheet answered";
  // Tab from the switches reaches "Don't Allow" and stops there, Allow
  // being unavailable; so Escape is what is left.
  type(window, {"Escape"});
  ProcessResult result = finished(run);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardOutput, authorizeAnswer(false, "denied", kAllKeys, kAllKeys));
  for (const auto& [key, access] : permissions(store)) EXPECT_EQ(access, kDeniedEverywhere) << key;
}

// Enter is Allow as soon as something is on, wherever the focus is, except
// on "Don't Allow", which it presses. The request asks to read steps only:
// focus starts on its switch, Tab leads to the answer buttons and Shift+Tab
// to "Turn On All".
TEST_F(PermissionSheetTest, EnterAllowsWhereverTheFocusIsOnceSomethingIsOn) {
  // A switch turned from the keyboard slides over before it counts as on,
  // so Enter comes after a pause, as a person's would.
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    std::vector<std::string> afterAPause;
    bool granted;
  };
  const std::vector<Case> cases = {
      {"on the switch just turned on", {"space"}, {"Return"}, true},
      {"Enter on Turn On All with nothing on presses it", {"shift+Tab", "Return"}, {"Return"}, true},
      {"on Don't Allow", {"space"}, {"Tab", "Return"}, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    StoreHome store;
    auto run = startAuthorize(store, R"({"method":"authorize","sourceMode":"native","readTypes":["steps"],)"
                                     R"("writeTypes":[]})");
    std::string window = waitForSheet();
    type(window, test.keys);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    type(window, test.afterAPause);
    ProcessResult result = finished(run);
    EXPECT_EQ(result.standardOutput, test.granted ? authorizeAnswer(true, "authorized", R"(["steps"])", "[]")
                                                  : authorizeAnswer(false, "denied", R"(["steps"])", "[]"));
    EXPECT_EQ(permissions(store)["steps"],
              test.granted ? "read=authorized write=not determined" : "read=denied write=not determined");
  }
}

TEST_F(PermissionSheetTest, OnlyTheSwitchesTurnedOnFromTheKeyboardAreGranted) {
  StoreHome store;
  auto run = startAuthorize(
      store, R"({"method":"authorize","sourceMode":"native","readTypes":["steps","sleep","heart_rate","hrv"],)"
             R"("writeTypes":["weight"]})");
  std::string window = waitForSheet();
  // Focus starts on the first switch (write: Weight); the read rows follow
  // as Steps, Sleep, Heart Rate, HRV, Weight.
  type(window, {"space", "Tab", "Tab", "space"});
  screenshot(window, std::string(TARNWICK_BINARY_DIR) + "/permission-sheet.png");
  if (std::getenv("TARNWICK_UPDATE_SCREENSHOT")) {
    std::filesystem::copy_file(std::string(TARNWICK_BINARY_DIR) + "/permission-sheet.png",
                               std::string(TARNWICK_SOURCE_DIR) + "/docs/images/permission-sheet.png",
                               std::filesystem::copy_options::overwrite_existing);
  }
  type(window, {"Return"});
  ProcessResult result = finished(run);
  EXPECT_EQ(result.standardOutput,
            authorizeAnswer(true, "authorized", R"(["steps","sleep","heart_rate","hrv"])", R"(["weight"])"));

  std::map<std::string, std::string> expected = undecidedPermissions();
  expected["weight"] = "read=denied write=authorized";
  expected["sleep"] = "read=authorized write=not determined";
  expected["steps"] = "read=denied write=not determined";
  expected["heart_rate"] = "read=denied write=not determined";
  expected["hrv"] = "read=denied write=not determined";
  EXPECT_EQ(permissions(store), expected);
}

TEST_F(PermissionSheetTest, TurnOnAllGrantsEveryRequestedType) {
  StoreHome store;
  auto run = startAuthorize(
      store, R"({"method":"authorize","sourceMode":"native","readTypes":["glucose"],"writeTypes":["workout"]})");
  // Back from the first switch to "Turn On All", press it, then Allow.
  type(waitForSheet(), {"shift+Tab", "space", "Return"});
  ProcessResult result = finished(run);
  EXPECT_EQ(result.standardOutput, authorizeAnswer(true, "authorized", R"(["glucose"])", R"(["workout"])"));

  std::map<std::string, std::string> expected = undecidedPermissions();
  expected["glucose"] = "read=authorized write=not determined";
  expected["workout"] = "read=authorized write=authorized";
  EXPECT_EQ(permissions(store), expected);
}

TEST_F(PermissionSheetTest, EscapeRefusesEveryRequestedType) {
  StoreHome store;
  auto run = startAuthorize(store, kAuthorizeAll);
  std::string window = waitForSheet();
  // Switches turned on first do not matter: "Don't Allow" refuses all.
  type(window, {"space", "Escape"});
  ProcessResult result = finished(run);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardOutput, authorizeAnswer(false, "denied", kAllKeys, kAllKeys));
  for (const auto& [key, access] : permissions(store)) EXPECT_EQ(access, kDeniedEverywhere) << key;
}

TEST_F(PermissionSheetTest, ClosingTheSheetDecidesNothing) {
  struct Close {
    const char* name;
    std::function<void(const std::string&)> close;
  };
  std::vector<Close> closes = {
      {"Ctrl+W", [this](const std::string& window) { type(window, {"ctrl+w"}); }},
  };
#ifdef TARNWICK_SEND_CLOSE_REQUEST
  closes.push_back({"close request as a window manager sends it",
                    [](const std::string& window) {
                      EXPECT_EQ(xClient(TARNWICK_SEND_CLOSE_REQUEST, {window}).exitStatus, 0);
                    }});
#endif
  for (const Close& close : closes) {
    SCOPED_TRACE(close.name);
    StoreHome store;
    auto run = startAuthorize(store, kAuthorizeAll);
    std::string window = waitForSheet();
    type(window, {"space"});
    close.close(window);
    ProcessResult result = finished(run);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, authorizeAnswer(false, "denied", kAllKeys, kAllKeys));
    EXPECT_EQ(permissions(store), undecidedPermissions());
  }
}

// Losing the display under the sheet ends the request with one failure that
// names the display, and decides nothing: the X server ends, the sheet's
// client is killed, or another program destroys the sheet's window.
TEST_F(PermissionSheetTest, LosingTheDisplayFailsTheRequestAndDecidesNothing) {
  auto connectionLost = [](const std::string& display) {
    return "The connection to the display '" + display +
           "' was lost while the permission sheet was up, so nothing was recorded.";
  };
  struct Loss {
    const char* name;
    std::function<void(VirtualDisplay&, const std::string& window)> lose;
    std::function<std::string(const std::string& display)> message;
  };
  std::vector<Loss> losses = {
      {"the X server ends", [](VirtualDisplay& display, const std::string&) { display.kill(); }, connectionLost},
      {"the sheet's client is killed",
       [this](VirtualDisplay& display, const std::string& window) {
         EXPECT_EQ(xdotool({"windowkill", window}, display.name()).exitStatus, 0);
       },
       connectionLost},
  };
#ifdef TARNWICK_DESTROY_WINDOW
  losses.push_back({"another program destroys the sheet's window",
                    [](VirtualDisplay& display, const std::string& window) {
                      EXPECT_EQ(xClient(TARNWICK_DESTROY_WINDOW, {window}, display.name()).exitStatus, 0);
                    },
                    [](const std::string& display) {
                      return "The display '" + display +
                             "' reported an error in the permission sheet's window (another program may have "
                             "destroyed it), so nothing was recorded.";
                    }});
#endif
  for (const Loss& loss : losses) {
    SCOPED_TRACE(loss.name);
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    StoreHome store;
    auto run = startAuthorize(store, kAuthorizeAll, display.name());
    std::string window = waitForSheet(display.name());
    type(window, {"space"}, display.name());
    loss.lose(display, window);
    ProcessResult result = finished(run);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":")" +
                                         loss.message(display.name()) + "\"}}\n");
    EXPECT_EQ(permissions(store), undecidedPermissions());
  }
}

// With a display the shell must still answer what needs no sheet exactly as
// direct mode does, showing nothing.
TEST_F(PermissionSheetTest, MethodsWithoutASheetAnswerAsInDirectMode) {
  const std::vector<std::string> requests = {
      R"({"method":"status","sourceMode":"Native"})",
      R"({"method":"authorize","sourceMode":"native","readTypes":["nope"],"writeTypes":[]})",
      R"({"method":"write","sourceMode":"import-only","items":[]})",
      R"({"method":"Query","sourceMode":"native"})",
      "",
  };
  for (const std::string& request : requests) {
    SCOPED_TRACE(request);
    StoreHome store;
    ProcessResult expected = store.bridge(request);
    ProcessResult actual = runProcess(builtProgram("tarnwick"), onDisplay(store.options({"--appkit"}, request)));
    EXPECT_EQ(actual.standardOutput, expected.standardOutput);
    EXPECT_EQ(actual.exitStatus, expected.exitStatus);
    EXPECT_EQ(actual.standardError, "");
  }
}

// When the sheet cannot be shown, each cause gets its own sentence; the
// request fails and nothing is decided. A bridge installed without its
// desktop module still runs "--appkit" for everything else.
TEST_F(PermissionSheetTest, EachReasonTheSheetCannotBeShownHasItsOwnSentence) {
  TemporaryDirectory install;
  std::filesystem::copy_file(builtProgram("tarnwick"), install.file("tarnwick"));
  struct Case {
    std::string name;
    std::string program;
    std::vector<std::string> arguments;
    std::string display;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no --appkit", builtProgram("tarnwick"), {}, display_->name(),
       "The permission sheet can only be shown when the bridge runs with --appkit; run it again with --appkit on a "
       "display."},
      {"no display", builtProgram("tarnwick"), {"--appkit"}, "",
       "The permission sheet needs a display, but neither DISPLAY nor WAYLAND_DISPLAY is set; run the bridge with "
       "--appkit inside a desktop session."},
      {"a display that does not open", builtProgram("tarnwick"), {"--appkit"}, ":7919",
       "The permission sheet cannot open the display ':7919'; check that its server is running and that this user "
       "may use it."},
      {"no module", install.file("tarnwick"), {"--appkit"}, display_->name(),
       "The permission sheet's module tarnwick-gtk-shell.so is neither beside the bridge nor in '" + install.path() +
           "/../lib/tarnwick'; install it with the bridge."},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    StoreHome store;
    ProcessOptions options = store.options(test.arguments, kAuthorizeAll);
    if (!test.display.empty()) options.environment["DISPLAY"] = test.display;
    ProcessResult result = runProcess(test.program, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput,
              R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":")" + test.message + "\"}}\n");
    EXPECT_EQ(permissions(store), undecidedPermissions());
  }
}

}  // namespace
}  // namespace tarnwick::testing
