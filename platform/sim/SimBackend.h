// The simulated platform for tests: virtual time, a scripted tick count, scripted message-box
// answers with a log of every box, an in-memory typed registry and injected mouse input.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Backend.h"

namespace platform::sim {

// The registry in memory, with real value types and failures that a test can arrange.
class SimRegistry final : public RegistryStore {
 public:
  std::unique_ptr<RegistryKey> OpenKey(std::uint32_t root, std::string_view path, bool create) override;

  void SetDword(std::string_view path, std::string_view name, std::int32_t value);
  void SetString(std::string_view path, std::string_view name, std::string_view value);
  void RemoveValue(std::string_view path, std::string_view name);
  bool HasKey(std::string_view path) const;
  std::optional<RegistryValue> Value(std::string_view path, std::string_view name) const;
  // The value as a signed number when it is a REG_DWORD.
  std::optional<std::int32_t> Dword(std::string_view path, std::string_view name) const;
  std::size_t ValueCount(std::string_view path) const;

  std::set<std::string> refused_keys;     // keys that cannot be opened or created
  std::string failing_value;              // a value whose write fails
  int commits = 0;

 private:
  friend class SimKey;
  static std::string Normalise(std::string_view path);
  std::map<std::string, std::vector<std::pair<std::string, RegistryValue>>> keys_;
};

struct ExpectedBox {
  std::string text;
  std::string caption;
  unsigned flags = mb::kOk;
  int answer = mb::kIdOk;
  std::uint32_t pass_ms = 0;           // virtual time that passes while the box is open
  std::function<void()> while_open;    // runs while the box is open, before the time passes
};

struct ShownBox {
  std::string text;
  std::string caption;
  unsigned flags = 0;
  int answer = 0;
  bool expected = true;
  std::uint64_t time_ms = 0;
};

struct PeerState {
  PeerKind kind = PeerKind::Panel;
  Handle parent = kBoardHandle;
  std::string name;
  Rect bounds;
  bool visible = false;
  std::uint32_t color = 0;
  bool bevel_raised = false;
  std::string text;
  bool centered = false;
  Font font;
  std::shared_ptr<const Picture> picture;
};

class SimBackend final : public Backend {
 public:
  SimBackend();

  // --- Script -------------------------------------------------------------------------
  void ExpectBox(ExpectedBox box) { expected_boxes_.push_back(std::move(box)); }
  std::size_t PendingExpectedBoxes() const { return expected_boxes_.size(); }
  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  // Called with the text of a box that the script did not expect.
  std::function<void(const ShownBox&)> on_unexpected_box;

  // Runs action at virtual time time_ms from the message loop (never inside a box).
  void At(std::uint64_t time_ms, std::function<void()> action);
  // Lets virtual time pass with the message loop running, until time_ms or the loop's end.
  void RunUntil(std::uint64_t time_ms);
  std::uint64_t Now() const { return now_ms_; }
  // How long RunMessageLoop may go on in virtual time before it gives up.
  std::uint64_t run_limit_ms = 60ull * 60 * 1000;
  bool loop_gave_up = false;

  // --- The simulated machine ----------------------------------------------------------
  int screen_width = 640;
  int screen_height = 480;
  std::uint32_t processor_type = kProcessorIntelPentium;
  std::vector<std::string> arguments{"vortrane"};
  std::deque<std::uint32_t> tick_counts;  // returned first, one per call
  std::uint32_t boot_offset_ms = 123456;  // tick count = this + virtual time, once the script is used up
  bool photograph_fails = false;
  std::string failing_peer;  // creating the peer of this name fails, as a window that cannot be made
  // The desktop's colour at a pixel: a pattern with no two neighbours alike.
  static std::uint32_t DesktopPixel(int x, int y);
  SimRegistry registry;
  // Copies that share this set of names see each other's instance guards.
  std::shared_ptr<std::set<std::string>> guards = std::make_shared<std::set<std::string>>();
  bool logging = true;
  std::vector<std::string> log;

  // --- Input: false when it cannot reach the control (hidden, or a box is open) --------
  bool Press(std::string_view name, MouseButton button = MouseButton::Left);
  bool Click(std::string_view name);
  bool MouseMoveOver(std::string_view name);
  bool DoubleClickBoard();
  bool CloseRequest();
  bool EndSession();

  // --- Observation --------------------------------------------------------------------
  const PeerState& Peer(std::string_view name) const;
  std::string ParentName(std::string_view name) const;
  bool PeerShown(std::string_view name) const;  // visible itself and every parent, board shown
  bool board_shown = false;
  bool topmost = false;
  bool taskbar_entry = true;
  std::string title;
  bool loop_running = false;
  bool guard_held = false;
  int modal_depth = 0;
  int photographs = 0;
  std::vector<std::string> LogWith(std::string_view prefix) const;

  // --- Backend ------------------------------------------------------------------------
  void RunMessageLoop() override;
  void QuitMessageLoop() override;
  void ProcessPendingMessages() override;
  void Sleep(std::uint32_t milliseconds) override;
  int MessageBox(std::string_view text, std::string_view caption, unsigned flags) override;
  void SetTimer(int timer, std::uint32_t interval_ms, bool enabled) override;
  void CreatePeer(Handle control, PeerKind kind, Handle parent, std::string_view name) override;
  void SetPeerBounds(Handle control, Rect bounds) override;
  void SetPeerVisible(Handle control, bool visible) override;
  void SetPeerColor(Handle control, std::uint32_t color) override;
  void SetPeerBevel(Handle control, bool raised) override;
  void SetPeerText(Handle control, std::string_view utf8, bool centered) override;
  void SetPeerFont(Handle control, const Font& font) override;
  void SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) override;
  void ShowBoard() override;
  void HideBoard() override;
  void SetBoardTopmost(bool topmost) override;
  void SetTaskbarEntryVisible(bool visible) override;
  void SetTitle(std::string_view utf8) override;
  int ScreenWidth() override { return screen_width; }
  int ScreenHeight() override { return screen_height; }
  std::shared_ptr<Picture> Photograph(int width, int height) override;
  std::uint32_t TickCount() override;
  std::uint32_t ProcessorType() override { return processor_type; }
  std::vector<std::string> Arguments() override { return arguments; }
  bool AcquireInstanceGuard(std::string_view name) override;
  void ReleaseInstanceGuard() override;
  RegistryStore& Registry() override { return registry; }

 private:
  struct Timer {
    bool active = false;
    std::uint32_t interval = 0;
    std::uint64_t due = 0;
  };
  struct Scheduled {
    std::uint64_t time;
    std::uint64_t order;
    std::function<void()> action;
  };
  void Log(std::string entry);
  // Delivers the earliest timer tick or scheduled action no later than limit; false if none.
  bool Step(std::uint64_t limit, bool with_input);
  bool Reachable(Handle handle) const;
  void CheckPeerCreation(std::string_view name);
  std::optional<Handle> Find(std::string_view name) const;

  std::uint64_t now_ms_ = 0;
  bool quit_ = false;
  std::deque<ExpectedBox> expected_boxes_;
  std::vector<ShownBox> boxes_;
  std::map<int, Timer> timers_;
  std::vector<Scheduled> scheduled_;
  std::uint64_t schedule_order_ = 0;
  std::vector<PeerState> peers_;
  std::string guard_name_;
};

}  // namespace platform::sim
