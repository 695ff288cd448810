// The Windows backend: native windows, GDI drawing, the real registry, mutex and message boxes.
//
// Implemented features:
//  - A hidden application window owns the board and carries the taskbar entry and title.
//  - The board is a borderless owned popup; panels, images and labels are child windows
//    stacked in creation order (a later sibling above an earlier one).
//  - Timers run on the board through SetTimer, so they keep ticking inside a message box.
//  - The loop ends on a flag, not on WM_QUIT: boxes shown after the end still show.
//  - Errors thrown by the game inside a window procedure are carried out of the system's
//    callback and thrown again from the loop that dispatched the message.
#include "platform/win32/Win32Backend.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

// The seam has methods of these names; the Unicode macros would rename them.
#undef MessageBox
#undef CreateWindow

namespace platform::win32 {
namespace {

constexpr wchar_t kApplicationClass[] = L"VortraneApplication";
constexpr wchar_t kBoardClass[] = L"VortraneBoard";
constexpr wchar_t kPanelClass[] = L"VortranePanel";
constexpr wchar_t kImageClass[] = L"VortraneImage";
constexpr wchar_t kLabelClass[] = L"VortraneLabel";

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                       nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(size - 1));
  return utf8;
}

// A top-down 32-bit DIB section, so pixels are 0x00RRGGBB words in reading order.
HBITMAP CreateTopDownDib(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// One shared picture realised once as a bitmap, however many images show it.
struct SharedBitmap {
  std::shared_ptr<const Picture> picture;
  HBITMAP bitmap = nullptr;
  int users = 0;
};

class Win32Backend;

struct Peer {
  Win32Backend* backend = nullptr;
  Handle handle = 0;
  PeerKind kind = PeerKind::Panel;
  Handle parent = kBoardHandle;
  HWND window = nullptr;
  COLORREF color = RGB(0xF0, 0xF0, 0xF0);
  bool bevel = false;
  std::wstring text;
  bool centered = false;
  COLORREF text_color = RGB(0, 0, 0);
  HFONT font = nullptr;  // owned by the backend's font cache
  SharedBitmap* picture = nullptr;
  // The shared picture drawn once at this image's size, so moving the image costs a copy.
  HBITMAP scaled = nullptr;
  int scaled_width = 0;
  int scaled_height = 0;
  bool left_pressed = false;  // a left press began here: its release is a click
};

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  std::optional<RegistryValue> Read(std::string_view name) override {
    const std::wstring wide = Widen(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key_, wide.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    RegistryValue value;
    value.type = type;
    value.data.resize(size);
    if (size > 0 && RegQueryValueExW(key_, wide.c_str(), nullptr, &type, value.data.data(),
                                     &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    // The caller tells a REG_SZ "1" (4 bytes) from a REG_DWORD by the type, never the size.
    value.type = type;
    value.data.resize(size);
    return value;
  }

  bool WriteDword(std::string_view name, std::uint32_t value) override {
    const std::wstring wide = Widen(name);
    const DWORD data = value;
    return RegSetValueExW(key_, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof(data)) == ERROR_SUCCESS;
  }

  // The registry keeps every write by itself; closing without a flush is enough.
  bool Commit() override { return true; }

 private:
  HKEY key_;
};

class Win32Registry final : public RegistryStore {
 public:
  std::unique_ptr<RegistryKey> OpenKey(std::uint32_t root, std::string_view path,
                                       bool create) override {
    // Predefined keys are sign-extended 32-bit values.
    const HKEY root_key = reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
    const std::wstring wide = Widen(path);
    HKEY key = nullptr;
    const LSTATUS status =
        create ? RegCreateKeyExW(root_key, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr)
               : RegOpenKeyExW(root_key, wide.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(key);
  }
};

class Win32Backend final : public Backend {
 public:
  Win32Backend() = default;
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  bool Create();

  void RunMessageLoop() override;
  void QuitMessageLoop() override;
  void ProcessPendingMessages() override;
  void Sleep(std::uint32_t milliseconds) override {
    ApplyPendingBounds();
    ::Sleep(milliseconds);
  }

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

  int ScreenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }
  int ScreenHeight() override { return GetSystemMetrics(SM_CYSCREEN); }
  std::shared_ptr<Picture> Photograph(int width, int height) override;

  std::uint32_t TickCount() override { return GetTickCount(); }
  std::uint32_t ProcessorType() override;
  std::vector<std::string> Arguments() override;

  bool AcquireInstanceGuard(std::string_view name) override;
  void ReleaseInstanceGuard() override;

  RegistryStore& Registry() override { return registry_; }

 private:
  static LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK BoardProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM w, LPARAM l);

  // Calls into the game from a window procedure; an error waits until the system's
  // callback has returned.
  // Whatever the game moved in the call reaches the screen as one move per control when it returns.
  template <class Function>
  void Deliver(Function&& function) {
    if (Sink() == nullptr) return;
    ++delivering_;
    try {
      function(*Sink());
    } catch (...) {
      if (!pending_error_) pending_error_ = std::current_exception();
    }
    --delivering_;
    ApplyPendingBounds();
  }
  // Moves the controls whose bounds the game set inside a call into it.
  void ApplyPendingBounds();
  void ThrowPendingError();
  void Dispatch(MSG& message);

  Peer* FindPeer(Handle control);
  HWND ParentWindow(Handle parent);
  HFONT FontFor(const Font& font);
  void ReleasePicture(Peer& peer);
  void PaintControl(Peer& peer, HDC dc);
  void PaintImage(Peer& peer, HDC dc, const RECT& client);
  void ControlMouse(Peer& peer, UINT message, WPARAM w, LPARAM l);

  HINSTANCE instance_ = GetModuleHandleW(nullptr);
  HWND application_ = nullptr;
  HWND board_ = nullptr;
  HBRUSH board_brush_ = nullptr;
  bool taskbar_entry_visible_ = true;
  bool quit_requested_ = false;
  int modal_depth_ = 0;
  // Bounds set inside a call into the game, held until it returns or something shows the
  // screen: the game sets a control's sides one at a time, and each is a move otherwise.
  int delivering_ = 0;
  std::vector<std::pair<Handle, Rect>> pending_bounds_;
  std::exception_ptr pending_error_;
  HANDLE instance_mutex_ = nullptr;
  std::unordered_map<Handle, std::unique_ptr<Peer>> peers_;
  std::map<const Picture*, SharedBitmap> bitmaps_;
  std::map<std::tuple<std::wstring, int, int>, HFONT> fonts_;
  Win32Registry registry_;
};

Win32Backend::~Win32Backend() {
  for (auto& [handle, peer] : peers_) {
    if (peer->scaled != nullptr) DeleteObject(peer->scaled);
  }
  if (board_ != nullptr) DestroyWindow(board_);
  if (application_ != nullptr) DestroyWindow(application_);
  for (auto& [picture, shared] : bitmaps_) DeleteObject(shared.bitmap);
  for (auto& [key, font] : fonts_) DeleteObject(font);
  if (board_brush_ != nullptr) DeleteObject(board_brush_);
}

bool Win32Backend::Create() {
  const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  const HICON icon = LoadIconW(instance_, MAKEINTRESOURCEW(1));

  WNDCLASSEXW application_class{};
  application_class.cbSize = sizeof(WNDCLASSEXW);
  application_class.lpfnWndProc = ApplicationProc;
  application_class.hInstance = instance_;
  application_class.hIcon = icon;
  application_class.hCursor = arrow;
  application_class.lpszClassName = kApplicationClass;

  board_brush_ = CreateSolidBrush(RGB(0, 0, 0));
  WNDCLASSEXW board_class{};
  board_class.cbSize = sizeof(WNDCLASSEXW);
  board_class.style = CS_DBLCLKS;  // the bare background answers double-clicks
  board_class.lpfnWndProc = BoardProc;
  board_class.hInstance = instance_;
  board_class.hIcon = icon;
  board_class.hCursor = arrow;
  board_class.lpszClassName = kBoardClass;

  // Controls repaint whole on resize: bevels and stretched pictures depend on the size.
  // No CS_DBLCLKS: every press on a label is a press of its own.
  WNDCLASSEXW control_class{};
  control_class.cbSize = sizeof(WNDCLASSEXW);
  control_class.style = CS_HREDRAW | CS_VREDRAW;
  control_class.lpfnWndProc = ControlProc;
  control_class.hInstance = instance_;
  control_class.hCursor = arrow;
  // A second backend in the process finds the classes registered already.
  const auto registered = [](const WNDCLASSEXW& window_class) {
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  };
  for (const wchar_t* name : {kPanelClass, kImageClass, kLabelClass}) {
    control_class.lpszClassName = name;
    if (!registered(control_class)) return false;
  }
  if (!registered(application_class) || !registered(board_class)) return false;

  // Zero-sized in the middle of the screen: it shows only as a taskbar button.
  application_ = CreateWindowExW(0, kApplicationClass, L"",
                                 WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                     WS_MINIMIZEBOX,
                                 ScreenWidth() / 2, ScreenHeight() / 2, 0, 0, nullptr, nullptr,
                                 instance_, this);
  if (application_ == nullptr) return false;
  board_ = CreateWindowExW(0, kBoardClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, ScreenWidth(),
                           ScreenHeight(), application_, nullptr, instance_, this);
  return board_ != nullptr;
}

void Win32Backend::ThrowPendingError() {
  if (pending_error_) {
    std::exception_ptr error = std::exchange(pending_error_, nullptr);
    std::rethrow_exception(error);
  }
}

void Win32Backend::Dispatch(MSG& message) {
  TranslateMessage(&message);
  DispatchMessageW(&message);
  ThrowPendingError();
}

void Win32Backend::RunMessageLoop() {
  MSG message;
  while (!quit_requested_) {
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == 0 || result == -1) break;  // WM_QUIT from outside, or a broken queue
    Dispatch(message);
  }
}

void Win32Backend::QuitMessageLoop() {
  quit_requested_ = true;
  // Wakes GetMessage; a real WM_QUIT would also close every message box shown afterwards.
  PostMessageW(application_, WM_NULL, 0, 0);
}

void Win32Backend::ProcessPendingMessages() {
  ApplyPendingBounds();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the outer loop
      break;
    }
    Dispatch(message);
  }
}

int Win32Backend::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
  ApplyPendingBounds();
  const std::wstring wide_text = Widen(text);
  const std::wstring wide_caption = Widen(caption);
  // Owned by the board, the box disables it and its controls; the application window is
  // disabled by hand so its taskbar button cannot close the game under an open box.
  if (modal_depth_++ == 0) EnableWindow(application_, FALSE);
  const int answer = MessageBoxW(board_, wide_text.c_str(), wide_caption.c_str(), flags);
  if (--modal_depth_ == 0) EnableWindow(application_, TRUE);
  ThrowPendingError();
  return answer;
}

void Win32Backend::SetTimer(int timer, std::uint32_t interval_ms, bool enabled) {
  const UINT_PTR id = static_cast<UINT_PTR>(static_cast<unsigned>(timer)) + 1;
  // The system would shorten an interval beyond its maximum to 24.8 days; such a timer
  // never ticks in any game anyone plays, so it is simply not started.
  if (!enabled || interval_ms == 0 || interval_ms > USER_TIMER_MAXIMUM) {
    KillTimer(board_, id);
    return;
  }
  ::SetTimer(board_, id, interval_ms, nullptr);
}

Peer* Win32Backend::FindPeer(Handle control) {
  const auto found = peers_.find(control);
  return found == peers_.end() ? nullptr : found->second.get();
}

HWND Win32Backend::ParentWindow(Handle parent) {
  if (parent == kBoardHandle) return board_;
  Peer* peer = FindPeer(parent);
  return peer != nullptr ? peer->window : board_;
}

void Win32Backend::CreatePeer(Handle control, PeerKind kind, Handle parent,
                              std::string_view /*name*/) {
  if (kind == PeerKind::Board || control == kBoardHandle) return;  // made with the backend
  auto peer = std::make_unique<Peer>();
  peer->backend = this;
  peer->handle = control;
  peer->kind = kind;
  peer->parent = parent;
  peer->color = GetSysColor(COLOR_BTNFACE);
  const wchar_t* window_class = kind == PeerKind::Image   ? kImageClass
                                : kind == PeerKind::Label ? kLabelClass
                                                          : kPanelClass;
  peer->window = CreateWindowExW(0, window_class, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                 0, 0, 0, 0, ParentWindow(parent), nullptr, instance_, peer.get());
  // New child windows join their siblings at the bottom; the tree wants the newest on top.
  SetWindowPos(peer->window, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  peers_[control] = std::move(peer);
}

void Win32Backend::SetPeerBounds(Handle control, Rect bounds) {
  if (control == kBoardHandle) {
    SetWindowPos(board_, nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (FindPeer(control) == nullptr) return;
  if (delivering_ == 0) {
    pending_bounds_.emplace_back(control, bounds);
    ApplyPendingBounds();
    return;
  }
  const auto found = std::find_if(pending_bounds_.begin(), pending_bounds_.end(),
                                  [&](const auto& entry) { return entry.first == control; });
  if (found != pending_bounds_.end()) found->second = bounds;
  else pending_bounds_.emplace_back(control, bounds);
}

void Win32Backend::ApplyPendingBounds() {
  for (std::size_t i = 0; i < pending_bounds_.size(); ++i) {
    const auto [control, bounds] = pending_bounds_[i];  // a copy: a move sends messages
    if (Peer* peer = FindPeer(control)) {
      SetWindowPos(peer->window, nullptr, bounds.left, bounds.top, std::max(bounds.width, 0),
                   std::max(bounds.height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  pending_bounds_.clear();
}

void Win32Backend::SetPeerVisible(Handle control, bool visible) {
  // Whatever moved before is in place before anything appears or goes.
  ApplyPendingBounds();
  if (control == kBoardHandle) {
    visible ? ShowBoard() : HideBoard();
    return;
  }
  // SW_SHOWNA keeps the stacking order and the focus where they are.
  if (Peer* peer = FindPeer(control)) ShowWindow(peer->window, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Backend::SetPeerColor(Handle control, std::uint32_t color) {
  // The layout's 0x00BBGGRR is a COLORREF already.
  if (control == kBoardHandle) {
    DeleteObject(board_brush_);
    board_brush_ = CreateSolidBrush(color);
    InvalidateRect(board_, nullptr, TRUE);
    return;
  }
  if (Peer* peer = FindPeer(control)) {
    peer->color = color;
    InvalidateRect(peer->window, nullptr, FALSE);
  }
}

void Win32Backend::SetPeerBevel(Handle control, bool raised) {
  if (Peer* peer = FindPeer(control)) {
    peer->bevel = raised;
    InvalidateRect(peer->window, nullptr, FALSE);
  }
}

void Win32Backend::SetPeerText(Handle control, std::string_view utf8, bool centered) {
  if (control == kBoardHandle) {
    SetWindowTextW(board_, Widen(utf8).c_str());
    return;
  }
  if (Peer* peer = FindPeer(control)) {
    peer->text = Widen(utf8);
    peer->centered = centered;
    InvalidateRect(peer->window, nullptr, FALSE);
  }
}

HFONT Win32Backend::FontFor(const Font& font) {
  auto key = std::make_tuple(Widen(font.face), font.pixel_height, font.charset);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  // A negative height asks for the character height, not the cell height.
  const HFONT handle =
      CreateFontW(-font.pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                  static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, std::get<0>(key).c_str());
  fonts_.emplace(std::move(key), handle);
  return handle;
}

void Win32Backend::SetPeerFont(Handle control, const Font& font) {
  if (Peer* peer = FindPeer(control)) {
    peer->font = FontFor(font);
    peer->text_color = font.color;
    InvalidateRect(peer->window, nullptr, FALSE);
  }
}

void Win32Backend::ReleasePicture(Peer& peer) {
  if (peer.scaled != nullptr) {
    DeleteObject(peer.scaled);
    peer.scaled = nullptr;
  }
  if (peer.picture == nullptr) return;
  if (--peer.picture->users == 0) {
    DeleteObject(peer.picture->bitmap);
    bitmaps_.erase(peer.picture->picture.get());
  }
  peer.picture = nullptr;
}

void Win32Backend::SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) {
  Peer* peer = FindPeer(control);
  if (peer == nullptr) return;
  if (peer->picture != nullptr && peer->picture->picture == picture) return;
  ReleasePicture(*peer);
  if (picture != nullptr && picture->width > 0 && picture->height > 0 &&
      picture->pixels.size() >= static_cast<std::size_t>(picture->width) * picture->height) {
    SharedBitmap& shared = bitmaps_[picture.get()];
    if (shared.bitmap == nullptr) {
      void* bits = nullptr;
      shared.bitmap = CreateTopDownDib(picture->width, picture->height, &bits);
      if (shared.bitmap == nullptr) {
        bitmaps_.erase(picture.get());
      } else {
        std::memcpy(bits, picture->pixels.data(),
                    static_cast<std::size_t>(picture->width) * picture->height * 4);
        shared.picture = picture;
      }
    }
    if (shared.bitmap != nullptr) {
      ++shared.users;
      peer->picture = &shared;
    }
  }
  InvalidateRect(peer->window, nullptr, FALSE);
}

void Win32Backend::ShowBoard() {
  ApplyPendingBounds();
  if (taskbar_entry_visible_ && !IsWindowVisible(application_)) {
    ShowWindow(application_, SW_SHOWNA);
  }
  // Maximised: the board covers the primary screen.
  SetWindowPos(board_, HWND_TOP, 0, 0, ScreenWidth(), ScreenHeight(), SWP_SHOWWINDOW);
  SetForegroundWindow(board_);
  UpdateWindow(board_);
}

void Win32Backend::HideBoard() {
  ApplyPendingBounds();
  ShowWindow(board_, SW_HIDE);
}

void Win32Backend::SetBoardTopmost(bool topmost) {
  SetWindowPos(board_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
}

void Win32Backend::SetTaskbarEntryVisible(bool visible) {
  taskbar_entry_visible_ = visible;
  ShowWindow(application_, visible ? SW_SHOW : SW_HIDE);
}

void Win32Backend::SetTitle(std::string_view utf8) {
  SetWindowTextW(application_, Widen(utf8).c_str());
}

std::shared_ptr<Picture> Win32Backend::Photograph(int width, int height) {
  ApplyPendingBounds();
  if (width <= 0 || height <= 0) return nullptr;
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return nullptr;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateTopDownDib(width, height, &bits);
  const HDC memory = CreateCompatibleDC(screen);
  bool copied = false;
  if (bitmap != nullptr && memory != nullptr) {
    const HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  std::shared_ptr<Picture> picture;
  if (copied) {
    GdiFlush();  // the DIB's bits are complete only once GDI's batch is done
    picture = std::make_shared<Picture>();
    picture->width = width;
    picture->height = height;
    const auto* words = static_cast<const std::uint32_t*>(bits);
    picture->pixels.assign(words, words + static_cast<std::size_t>(width) * height);
    for (std::uint32_t& pixel : picture->pixels) pixel &= 0x00FFFFFFu;
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  return picture;
}

std::uint32_t Win32Backend::ProcessorType() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwProcessorType;
}

std::vector<std::string> Win32Backend::Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(list[i]));
  LocalFree(list);
  return arguments;
}

bool Win32Backend::AcquireInstanceGuard(std::string_view name) {
  const std::string mutex_name(name);
  // A copy that already runs holds the mutex open. The handle found is left open.
  if (OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutex_name.c_str()) != nullptr) return false;
  instance_mutex_ = CreateMutexA(nullptr, TRUE, mutex_name.c_str());
  // Two copies started at the same instant both miss the open; the create tells them apart.
  return instance_mutex_ != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

void Win32Backend::ReleaseInstanceGuard() {
  if (instance_mutex_ != nullptr) ReleaseMutex(instance_mutex_);  // the handle lives on
}

// --- Painting and input of the controls ---

void Win32Backend::PaintImage(Peer& peer, HDC dc, const RECT& client) {
  const int width = client.right;
  const int height = client.bottom;
  if (peer.picture == nullptr) {
    const Peer* parent = FindPeer(peer.parent);
    FillSolid(dc, client, parent != nullptr ? parent->color : GetSysColor(COLOR_BTNFACE));
    return;
  }
  const Picture& picture = *peer.picture->picture;
  const HDC source = CreateCompatibleDC(dc);
  if (picture.width == width && picture.height == height) {
    // Same size: a plain copy, so the photograph shows pixel for pixel.
    const HGDIOBJ old = SelectObject(source, peer.picture->bitmap);
    BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
  } else {
    if (peer.scaled == nullptr || peer.scaled_width != width || peer.scaled_height != height) {
      if (peer.scaled != nullptr) DeleteObject(peer.scaled);
      peer.scaled = CreateCompatibleBitmap(dc, width, height);
      peer.scaled_width = width;
      peer.scaled_height = height;
      const HDC target = CreateCompatibleDC(dc);
      const HGDIOBJ old_target = SelectObject(target, peer.scaled);
      const HGDIOBJ old_source = SelectObject(source, peer.picture->bitmap);
      // Nearest pixel, as the layout's stretched images have always been drawn.
      SetStretchBltMode(target, COLORONCOLOR);
      StretchBlt(target, 0, 0, width, height, source, 0, 0, picture.width, picture.height,
                 SRCCOPY);
      SelectObject(source, old_source);
      SelectObject(target, old_target);
      DeleteDC(target);
    }
    const HGDIOBJ old = SelectObject(source, peer.scaled);
    BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
  }
  DeleteDC(source);
}

void Win32Backend::PaintControl(Peer& peer, HDC dc) {
  RECT client;
  GetClientRect(peer.window, &client);
  switch (peer.kind) {
    case PeerKind::Image:
      PaintImage(peer, dc, client);
      break;
    case PeerKind::Label: {
      FillSolid(dc, client, peer.color);  // opaque background
      const HGDIOBJ old_font =
          SelectObject(dc, peer.font != nullptr ? peer.font : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, peer.text_color);
      DrawTextW(dc, peer.text.c_str(), static_cast<int>(peer.text.size()), &client,
                DT_NOPREFIX | DT_EXPANDTABS | (peer.centered ? DT_CENTER : DT_LEFT));
      SelectObject(dc, old_font);
      break;
    }
    case PeerKind::Panel:
    case PeerKind::Board: {
      FillSolid(dc, client, peer.color);
      if (peer.bevel && client.right > 0 && client.bottom > 0) {
        // A raised 1-pixel frame: light on the top and left, shadow on the bottom and right.
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
        const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
        FillSolid(dc, RECT{0, 0, 1, client.bottom}, light);
        FillSolid(dc, RECT{0, 0, client.right - 1, 1}, light);
        FillSolid(dc, RECT{client.right - 1, 0, client.right, client.bottom}, shadow);
        FillSolid(dc, RECT{0, client.bottom - 1, client.right, client.bottom}, shadow);
      }
      break;
    }
  }
}

void Win32Backend::ControlMouse(Peer& peer, UINT message, WPARAM /*w*/, LPARAM l) {
  const int x = static_cast<short>(LOWORD(l));
  const int y = static_cast<short>(HIWORD(l));
  switch (message) {
    case WM_MOUSEMOVE:
      Deliver([&](EventSink& sink) { sink.MouseMove(peer.handle, x, y); });
      break;
    case WM_LBUTTONDOWN:
      peer.left_pressed = true;
      SetCapture(peer.window);
      Deliver([&](EventSink& sink) { sink.MouseDown(peer.handle, MouseButton::Left, x, y); });
      break;
    case WM_RBUTTONDOWN:
      Deliver([&](EventSink& sink) { sink.MouseDown(peer.handle, MouseButton::Right, x, y); });
      break;
    case WM_MBUTTONDOWN:
      Deliver([&](EventSink& sink) { sink.MouseDown(peer.handle, MouseButton::Middle, x, y); });
      break;
    case WM_LBUTTONUP: {
      const bool pressed = std::exchange(peer.left_pressed, false);
      if (GetCapture() == peer.window) ReleaseCapture();
      RECT client;
      GetClientRect(peer.window, &client);
      if (pressed && PtInRect(&client, POINT{x, y})) {
        Deliver([&](EventSink& sink) { sink.Click(peer.handle); });
      }
      break;
    }
    default:
      break;
  }
}

namespace {

// The object a window was made for: stored when the window is created, read back for every
// later message (nothing before creation has one).
template <class Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return nullptr;
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

LRESULT CALLBACK Win32Backend::ControlProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* peer = WindowOwner<Peer>(window, message, l);
  if (peer == nullptr || peer->window == nullptr) return DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // painting covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      peer->backend->PaintControl(*peer, dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CAPTURECHANGED:
      peer->left_pressed = false;  // a box opened between press and release: no click
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
      // Only labels take the mouse; panels and images let it be.
      if (peer->kind == PeerKind::Label) peer->backend->ControlMouse(*peer, message, w, l);
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

LRESULT CALLBACK Win32Backend::BoardProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = WindowOwner<Win32Backend>(window, message, l);
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(w), &client, self->board_brush_);
      return 1;
    }
    case WM_TIMER: {
      const int timer = static_cast<int>(static_cast<unsigned>(w - 1));
      self->Deliver([&](EventSink& sink) { sink.TimerTick(timer); });
      return 0;
    }
    case WM_MOUSEMOVE: {
      const int x = static_cast<short>(LOWORD(l));
      const int y = static_cast<short>(HIWORD(l));
      self->Deliver([&](EventSink& sink) { sink.MouseMove(kBoardHandle, x, y); });
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      self->Deliver([&](EventSink& sink) { sink.DoubleClick(kBoardHandle); });
      return 0;
    case WM_CLOSE:
      // The game decides; when it agrees it hides the board and ends the loop itself.
      self->Deliver([&](EventSink& sink) { sink.CloseRequest(); });
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the application window answers for the program
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

LRESULT CALLBACK Win32Backend::ApplicationProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = WindowOwner<Win32Backend>(window, message, l);
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_CLOSE:  // "Close window" on the taskbar button
      self->Deliver([&](EventSink& sink) { sink.CloseRequest(); });
      return 0;
    case WM_QUERYENDSESSION: {
      bool agreed = true;
      self->Deliver([&](EventSink& sink) { agreed = sink.EndSessionQuery(); });
      return agreed ? TRUE : FALSE;
    }
    case WM_ACTIVATE:
      // Activated from the taskbar: hand the focus on to the board or the open box.
      if (LOWORD(w) != WA_INACTIVE) {
        const HWND popup = GetLastActivePopup(window);
        if (popup != window && IsWindowVisible(popup) && IsWindowEnabled(popup)) {
          SetActiveWindow(popup);
        }
      }
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

}  // namespace

std::unique_ptr<Backend> CreateBackend() {
  auto backend = std::make_unique<Win32Backend>();
  if (!backend->Create()) return nullptr;
  return backend;
}

}  // namespace platform::win32
