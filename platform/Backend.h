// The one seam between the game and an operating system: everything forms/ needs of a platform.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A control's peer, numbered by forms/. Handle 0 is always the board window.
using Handle = std::uint32_t;
constexpr Handle kBoardHandle = 0;

enum class PeerKind { Board, Panel, Image, Label };
enum class MouseButton { Left, Right, Middle };

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A picture: row-major pixels, 0x00RRGGBB. Shared, never copied per image. A backend may keep
// the pixels of its own photographs elsewhere (a display server) in a type of its own derived
// from this one; pixels is then empty.
struct Picture {
  virtual ~Picture() = default;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Colours are given as 0x00BBGGRR (the layout's colour notation), already resolved
// from system colours by forms/.
struct Font {
  std::string face;     // UTF-8
  int pixel_height = 12;
  std::uint32_t color = 0;
  int charset = 0;      // 128 = Shift-JIS
};

// Message box flags and answers, with their Windows values.
namespace mb {
constexpr unsigned kOk = 0x00;
constexpr unsigned kYesNo = 0x04;
constexpr unsigned kIconHand = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
}  // namespace mb

// Processor types as the system reports them.
constexpr std::uint32_t kProcessorIntel386 = 386;
constexpr std::uint32_t kProcessorIntel486 = 486;
constexpr std::uint32_t kProcessorIntelPentium = 586;
constexpr std::uint32_t kProcessorAmdX8664 = 8664;

// Registry value types, with their Windows numbers.
namespace reg {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
}  // namespace reg

struct RegistryValue {
  std::uint32_t type = reg::kNone;
  std::vector<std::uint8_t> data;  // a REG_DWORD is 4 bytes, little-endian
};

// One opened key. Writes may be held until Commit (a file store replaces its file there).
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The value, or nothing when it is absent or cannot be read.
  virtual std::optional<RegistryValue> Read(std::string_view name) = 0;
  // False when the value cannot be set.
  virtual bool WriteDword(std::string_view name, std::uint32_t value) = 0;
  // Makes every write so far lasting. False when that fails; the old record then stands.
  virtual bool Commit() = 0;
};

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;
  // path is relative to the root, without a leading backslash ("Software\\Telquarin\\...").
  // Returns nothing when the key is absent (and create is false) or cannot be opened.
  virtual std::unique_ptr<RegistryKey> OpenKey(std::uint32_t root, std::string_view path,
                                               bool create) = 0;
};

// What a backend reports back: forms/ implements it. Called only from the backend's
// message loop (or a modal box's loop, where only timers and the end of the session arrive).
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void TimerTick(int timer) = 0;
  virtual void MouseDown(Handle control, MouseButton button, int x, int y) = 0;
  virtual void MouseMove(Handle control, int x, int y) = 0;
  virtual void Click(Handle control) = 0;
  virtual void DoubleClick(Handle control) = 0;
  // The window manager's close command. The sink decides and closes the board itself.
  virtual void CloseRequest() = 0;
  // The desktop session is ending: true when the board has agreed to close.
  virtual bool EndSessionQuery() = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  void SetSink(EventSink* sink) { sink_ = sink; }
  EventSink* Sink() const { return sink_; }

  // Message loop.
  virtual void RunMessageLoop() = 0;   // returns once QuitMessageLoop has been called
  virtual void QuitMessageLoop() = 0;
  virtual void ProcessPendingMessages() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;  // handles no messages meanwhile

  // Modal message box, owned by the board: the program's windows take no input while it
  // is open, timers go on. Returns the button pressed (mb::kIdOk, kIdYes, kIdNo).
  virtual int MessageBox(std::string_view text, std::string_view caption, unsigned flags) = 0;

  // Timers. Setting a timer restarts its period; an interval of 0 or enabled false stops it.
  virtual void SetTimer(int timer, std::uint32_t interval_ms, bool enabled) = 0;

  // Control peers. A new peer stacks above its earlier siblings and starts hidden.
  virtual void CreatePeer(Handle control, PeerKind kind, Handle parent, std::string_view name) = 0;
  virtual void SetPeerBounds(Handle control, Rect bounds) = 0;
  virtual void SetPeerVisible(Handle control, bool visible) = 0;
  virtual void SetPeerColor(Handle control, std::uint32_t color) = 0;
  virtual void SetPeerBevel(Handle control, bool raised) = 0;  // panels: raised outer bevel, 1 px
  virtual void SetPeerText(Handle control, std::string_view utf8, bool centered) = 0;
  virtual void SetPeerFont(Handle control, const Font& font) = 0;
  virtual void SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) = 0;

  // The board window (handle 0): shown and brought to the front, hidden, always-on-top band.
  virtual void ShowBoard() = 0;
  virtual void HideBoard() = 0;
  virtual void SetBoardTopmost(bool topmost) = 0;
  // The application window that carries the taskbar entry.
  virtual void SetTaskbarEntryVisible(bool visible) = 0;
  virtual void SetTitle(std::string_view utf8) = 0;

  // Screen.
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
  // The screen's top-left width x height pixels; nothing when no picture can be had. Where the
  // backend's units are scaled (a desktop scale factor) the picture holds the device pixels
  // behind them and is larger than width x height.
  virtual std::shared_ptr<Picture> Photograph(int width, int height) = 0;

  // System.
  virtual std::uint32_t TickCount() = 0;
  virtual std::uint32_t ProcessorType() = 0;
  virtual std::vector<std::string> Arguments() = 0;  // [0] is the program

  // Single-instance guard: checks and takes it in one step. False when another copy has it.
  virtual bool AcquireInstanceGuard(std::string_view name) = 0;
  virtual void ReleaseInstanceGuard() = 0;

  // The current user's registry, or what takes its place.
  virtual RegistryStore& Registry() = 0;

 private:
  EventSink* sink_ = nullptr;
};

}  // namespace platform
