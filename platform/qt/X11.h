// The X11 requests the Qt backend makes itself: the controls' windows and their backgrounds, pictures held by the server, the photograph, naming windows, the on-top state, flushing.
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

// True when a compositing manager draws the screen (it holds _NET_WM_CM_Sn): what a window
// leaves behind is then repainted in the manager's own time, not at once by the server.
bool CompositingManagerRunning();

// The windows the window manager manages (_NET_CLIENT_LIST); nothing without an EWMH manager.
std::optional<std::vector<std::uint32_t>> ManagedWindows();

// How the pixels of windows like the board are laid out, as far as making pictures for them
// needs: TrueColor visuals of 15 to 32 bits.
struct PixelFormat {
  std::uint8_t depth = 0;
  std::uint32_t visual = 0;
  int bits_per_pixel = 0;
  int scanline_pad = 32;
  bool lsb_first = true;
  std::uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
  // 0x00RRGGBB as a pixel of this format (opaque where the format has alpha).
  std::uint32_t PixelOf(std::uint32_t rgb) const;
  // True for the common 32-bit 0x??RRGGBB in the host's byte order: pixels go as they are.
  bool Plain() const;
};

// The format of window's pixels; nothing when it is not one PixelFormat describes. Round trips.
std::optional<PixelFormat> FormatOf(std::uint32_t window);

// A picture kept in the X server (a pixmap), to be a window's background: the server then
// draws it itself whenever the window is shown, moved or uncovered.
class ServerPicture {
 public:
  // pixels are 0x00RRGGBB rows of width, made into a pixmap of format on drawable's screen.
  static std::unique_ptr<ServerPicture> Upload(const PixelFormat& format, std::uint32_t drawable,
                                               const std::uint32_t* pixels, int width, int height);
  // What the screen shows in the device-pixel rectangle, copied by the server from the root:
  // no pixel crosses the connection. Whatever lies beyond the root is black. Nothing when
  // the root's depth is not the format's.
  static std::unique_ptr<ServerPicture> FromRoot(const PixelFormat& format, int left, int top,
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

// Plain child windows the backend makes and draws itself, by way of their backgrounds: the
// server paints them whenever they are shown, moved or uncovered, with no event to anyone.
// A window that takes the pointer receives button and motion events, which then never pass
// on to its parent; one that does not lets them through.
std::uint32_t CreateWindow(std::uint32_t parent, bool takes_pointer);
void DestroyWindow(std::uint32_t window);
// Position and size in device pixels, relative to the parent; a size below 1 counts as 1.
void MoveResizeWindow(std::uint32_t window, int left, int top, int width, int height);
void MapWindow(std::uint32_t window, bool mapped);
void SetBackgroundPixel(std::uint32_t window, std::uint32_t pixel);
void SetBackgroundPicture(std::uint32_t window, const ServerPicture& picture);
// Shows whatever the parent shows beneath it.
void SetBackgroundOfParent(std::uint32_t window);

struct ScreenPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row-major
};

// The root window's pixels in the given device-pixel rectangle, clipped to the root;
// nothing when the server refuses.
std::optional<ScreenPixels> ReadRoot(int left, int top, int width, int height);

}  // namespace platform::qt::x11
