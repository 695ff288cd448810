// The few X11 requests the Qt backend makes itself: flushing, naming windows, the on-top state, pictures held by the server, reading the screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::qt::x11 {

// True when the application runs on the X11 (xcb) platform plugin.
bool Available();

// Sends every buffered request to the server now (Qt otherwise sends them when it next waits).
void Flush();
// Flushes and waits until the server has handled every request sent so far.
void Sync();

// Sets WM_NAME and _NET_WM_NAME of window, so tools like xdotool and xwininfo find it by name.
void SetWindowName(std::uint32_t window, std::string_view utf8);

// Puts a top-level window into the always-on-top band or takes it out (_NET_WM_STATE_ABOVE),
// in place: a mapped window asks the window manager, an unmapped one carries the state in
// its property for the window manager to read when it is mapped.
void SetAlwaysOnTop(std::uint32_t window, bool mapped, bool on_top);

// The windows the window manager manages (_NET_CLIENT_LIST); nothing without an EWMH manager.
std::optional<std::vector<std::uint32_t>> ManagedWindows();

// A picture kept in the X server (a pixmap), to be a window's background: the server then
// draws it itself whenever the window is shown, moved or uncovered.
class ServerPicture {
 public:
  // pixels are 0x00RRGGBB rows of width; made for windows like like_window. Nothing when the
  // window's pixel format is not the common 32-bit one.
  static std::unique_ptr<ServerPicture> Upload(std::uint32_t like_window, const std::uint32_t* pixels,
                                               int width, int height);
  // True when the server can make scaled copies itself (RENDER); a round trip only the first time.
  static bool CanScale();
  // A copy of source at another size, nearest pixel, made in the server: nothing crosses the
  // connection but a few small requests. Nothing without RENDER.
  static std::unique_ptr<ServerPicture> ScaledFrom(const ServerPicture& source, int width, int height);
  ~ServerPicture();
  ServerPicture(const ServerPicture&) = delete;
  ServerPicture& operator=(const ServerPicture&) = delete;
  std::uint32_t Pixmap() const { return pixmap_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  ServerPicture(std::uint32_t pixmap, int width, int height, std::uint8_t depth, std::uint32_t visual)
      : pixmap_(pixmap), width_(width), height_(height), depth_(depth), visual_(visual) {}
  std::uint32_t pixmap_;
  int width_;
  int height_;
  std::uint8_t depth_;
  std::uint32_t visual_;
};

// A bare child window that shows only its background picture and takes no events, so
// pointer events fall through to its parent.
std::uint32_t CreatePictureWindow(std::uint32_t parent);
void ShowPictureWindow(std::uint32_t window, const ServerPicture& picture, int width, int height);
void HidePictureWindow(std::uint32_t window);
void DestroyWindow(std::uint32_t window);

struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row-major
};

// The root window's pixels in the given device-pixel rectangle, clipped to the root;
// nothing when the server refuses.
std::optional<ScreenPixels> ReadRoot(int left, int top, int width, int height);

}  // namespace platform::qt::x11
