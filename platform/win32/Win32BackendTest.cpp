// Tests of the Windows backend against the real system calls: registry, guard, timers inside
// boxes, the loop's end, drawing as seen on the screen, mouse input and arguments.
// Run under Wine in a window session by tests/e2e/windows/run-backend-tests.sh.
#include "platform/win32/Win32Backend.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// The seam has a method of this name; the Unicode macro would rename it.
#undef MessageBox

namespace {

using platform::Handle;
using platform::PeerKind;
using platform::Picture;
using platform::Rect;

int failures = 0;

void Check(bool condition, const std::string& what) {
  if (!condition) {
    ++failures;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

// Records what the backend reports and lets a case act on every tick.
struct RecordingSink : platform::EventSink {
  std::vector<int> ticks;
  std::vector<std::string> events;
  std::function<void(int)> on_tick;
  std::function<void()> on_close;

  void TimerTick(int timer) override {
    ticks.push_back(timer);
    if (on_tick) on_tick(timer);
  }
  void MouseDown(Handle control, platform::MouseButton button, int x, int y) override {
    const char* name = button == platform::MouseButton::Left    ? "left"
                       : button == platform::MouseButton::Right ? "right"
                                                                : "middle";
    events.push_back("down " + std::to_string(control) + " " + name + " " + std::to_string(x) +
                     "," + std::to_string(y));
  }
  void MouseMove(Handle control, int, int) override {
    const std::string event = "move " + std::to_string(control);
    if (events.empty() || events.back() != event) events.push_back(event);
  }
  void Click(Handle control) override { events.push_back("click " + std::to_string(control)); }
  void DoubleClick(Handle control) override {
    events.push_back("double " + std::to_string(control));
  }
  void CloseRequest() override {
    events.push_back("close");
    if (on_close) on_close();
  }
  bool EndSessionQuery() override {
    events.push_back("end of session");
    return agree_to_end_session;
  }
  bool agree_to_end_session = true;

  int TicksOf(int timer) const {
    int count = 0;
    for (int tick : ticks) count += tick == timer;
    return count;
  }
};

// The first window of this thread that matches.
template <typename Match>
HWND FindThreadWindow(Match match) {
  struct Search {
    Match* match;
    HWND found;
  } search{&match, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (!(*s->match)(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The open message box of this thread with the given caption.
HWND FindBox(const wchar_t* caption) {
  return FindThreadWindow([caption](HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return ClassOf(window) == L"#32770" && std::wcscmp(text, caption) == 0 && IsWindowVisible(window);
  });
}

HWND FindOwnWindow(const wchar_t* class_name) {
  return FindThreadWindow([class_name](HWND window) { return ClassOf(window) == class_name; });
}

// --- Registry -------------------------------------------------------------------------------

void TestRegistry(platform::Backend& backend) {
  constexpr char kPath[] = "Software\\VortraneBackendTest\\Nested\\Key";
  auto& store = backend.Registry();
  Check(store.OpenKey(platform::reg::kHkeyCurrentUser, kPath, false) == nullptr,
        "an absent key does not open without create");

  auto key = store.OpenKey(platform::reg::kHkeyCurrentUser, kPath, true);
  Check(key != nullptr, "create makes the key and its missing parents");
  if (key == nullptr) return;
  Check(key->WriteDword("Kachi", 0x12345678u), "a REG_DWORD can be written");
  Check(key->WriteDword("Make", 0xFFFFFFFFu), "a negative number can be written");
  Check(key->Commit(), "commit succeeds");

  // Values a test seeds the way a user's editing would, with other types.
  HKEY raw = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VortraneBackendTest\\Nested\\Key", 0,
                KEY_ALL_ACCESS, &raw);
  const wchar_t one[] = L"1";  // with its terminator exactly 4 bytes, the size of a DWORD
  RegSetValueExW(raw, L"Rensho", 0, REG_SZ, reinterpret_cast<const BYTE*>(one), sizeof(one));
  const BYTE four[4] = {1, 0, 0, 0};
  RegSetValueExW(raw, L"Renpai", 0, REG_BINARY, four, 4);
  RegCloseKey(raw);

  auto reopened = store.OpenKey(platform::reg::kHkeyCurrentUser, kPath, false);
  Check(reopened != nullptr, "an existing key opens without create");
  if (reopened == nullptr) return;
  struct Expected {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Expected table[] = {
      {"Kachi", platform::reg::kDword, {0x78, 0x56, 0x34, 0x12}},
      {"Make", platform::reg::kDword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"Rensho", platform::reg::kSz, {'1', 0, 0, 0}},
      {"Renpai", platform::reg::kBinary, {1, 0, 0, 0}},
  };
  for (const Expected& expected : table) {
    const auto value = reopened->Read(expected.name);
    Check(value.has_value(), std::string(expected.name) + " can be read");
    if (!value) continue;
    Check(value->type == expected.type,
          std::string(expected.name) + " keeps its type, got " + std::to_string(value->type));
    Check(value->data == expected.data, std::string(expected.name) + " keeps its bytes");
  }
  Check(!reopened->Read("Chimidoro").has_value(), "an absent value reads as nothing");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VortraneBackendTest");
}

// --- Instance guard -------------------------------------------------------------------------

void TestInstanceGuard(platform::Backend& backend) {
  Check(backend.AcquireInstanceGuard("VT backend test mutex"), "the first guard is taken");
  auto other = platform::win32::CreateBackend();
  Check(other != nullptr && !other->AcquireInstanceGuard("VT backend test mutex"),
        "a second taker of the same name is refused");
  backend.ReleaseInstanceGuard();
}

// --- Timers, boxes and the loop -------------------------------------------------------------

void TestTimersAndBoxes(platform::Backend& backend, RecordingSink& sink) {
  const HWND board = FindOwnWindow(L"VortraneBoard");
  const HWND application = FindOwnWindow(L"VortraneApplication");
  Check(board != nullptr && application != nullptr, "the board and application windows exist");
  Check(GetWindow(board, GW_OWNER) == application, "the application window owns the board");

  // Timer 1 closes the box after five ticks; the others must stay silent meanwhile.
  struct Case {
    const char* what;
    std::uint32_t interval;
    bool enabled;
  };
  const Case silent[] = {
      {"interval 0", 0, true},
      {"disabled", 20, false},
      {"an interval beyond the system's maximum", 0xFFFFFF00u, true},
  };
  sink.ticks.clear();
  bool owner_disabled = false;
  bool application_disabled = false;
  sink.on_tick = [&](int timer) {
    if (timer != 1 || sink.TicksOf(1) != 5) return;
    const HWND box = FindBox(L"ヘタレ");
    Check(box != nullptr, "the box is open while the timer ticks");
    if (box == nullptr) return;
    owner_disabled = GetWindow(box, GW_OWNER) == board && !IsWindowEnabled(board);
    application_disabled = !IsWindowEnabled(application);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
  };
  backend.SetTimer(1, 20, true);
  for (int i = 0; i < 3; ++i) backend.SetTimer(10 + i, silent[i].interval, silent[i].enabled);
  const int answer = backend.MessageBox("リタイアしますか？", "ヘタレ", 0x24);
  Check(answer == platform::mb::kIdNo, "the box returns the button pressed");
  Check(sink.TicksOf(1) >= 5, "timer ticks arrive while a box is open");
  Check(owner_disabled, "the box is owned by the board, which is disabled meanwhile");
  Check(application_disabled, "the application window is disabled while a box is open");
  Check(IsWindowEnabled(board) && IsWindowEnabled(application), "both are enabled again after");
  for (int i = 0; i < 3; ++i) {
    Check(sink.TicksOf(10 + i) == 0, std::string("no tick with ") + silent[i].what);
  }

  // The loop ends when the game says so, from inside a tick.
  sink.ticks.clear();
  sink.on_tick = [&](int timer) {
    if (timer == 1 && sink.TicksOf(1) == 3) backend.QuitMessageLoop();
  };
  backend.RunMessageLoop();
  Check(sink.TicksOf(1) == 3, "the loop returns once it is told to end");

  // After the end, a box still waits for its answer (a pending WM_QUIT would close it).
  sink.ticks.clear();
  sink.on_tick = [&](int timer) {
    if (timer != 1 || sink.TicksOf(1) != 3) return;
    if (const HWND box = FindBox(L"良い子の皆様へ")) PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  const int ok = backend.MessageBox("危険ですから、まねしないようにしてください。",
                                    "良い子の皆様へ", 0x10);
  Check(ok == platform::mb::kIdOk && sink.TicksOf(1) >= 3,
        "a box shown after the loop has ended stays until answered");
  backend.ProcessPendingMessages();

  // An error thrown by the game inside a window procedure comes out of the loop that
  // dispatched the message, not through the system's code.
  sink.on_tick = [](int timer) {
    if (timer == 1) throw std::runtime_error("the registry error");
  };
  std::string caught;
  try {
    for (int i = 0; i < 20 && caught.empty(); ++i) {
      Sleep(30);
      backend.ProcessPendingMessages();
    }
  } catch (const std::runtime_error& error) {
    caught = error.what();
  }
  Check(caught == "the registry error", "an error in a handler reaches the caller of the loop");
  sink.on_tick = nullptr;
  backend.SetTimer(1, 0, false);
  backend.ProcessPendingMessages();

  // The end of the session asks the game, whose answer decides.
  for (const bool agree : {true, false}) {
    sink.events.clear();
    sink.agree_to_end_session = agree;
    const LRESULT granted = SendMessageW(application, WM_QUERYENDSESSION, 0, 0);
    Check(sink.events == std::vector<std::string>{"end of session"} && (granted != 0) == agree,
          std::string("the end of the session is ") + (agree ? "granted" : "refused"));
  }

  backend.SetTitle("Nembrolix SS");
  wchar_t title[64] = {};
  GetWindowTextW(application, title, 64);
  Check(std::wcscmp(title, L"Nembrolix SS") == 0, "the title is the application window's text");
  backend.SetTaskbarEntryVisible(false);
  Check(!IsWindowVisible(application), "hiding the taskbar entry hides the application window");
  backend.SetTaskbarEntryVisible(true);
  Check(IsWindowVisible(application), "showing it shows the application window");
}

// --- Drawing --------------------------------------------------------------------------------

std::uint32_t PixelAt(const Picture& picture, int x, int y) {
  return picture.pixels[static_cast<std::size_t>(y) * picture.width + x];
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%06X", static_cast<unsigned>(value));
  return text;
}

std::uint32_t SystemRgb(int index) {  // a system colour as 0x00RRGGBB
  const COLORREF color = GetSysColor(index);
  return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

// Keeps the photograph for a look when a drawing check fails (a PPM needs no library).
void SavePicture(const Picture& picture, const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return;
  std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
  for (std::uint32_t pixel : picture.pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                  static_cast<unsigned char>(pixel >> 8),
                                  static_cast<unsigned char>(pixel)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

void WaitForScreen(platform::Backend& backend) {
  for (int i = 0; i < 10; ++i) {
    backend.ProcessPendingMessages();
    Sleep(50);
  }
}

void TestDrawing(platform::Backend& backend) {
  const int failures_before = failures;
  // Colours are given as 0x00BBGGRR and read back from the screen as 0x00RRGGBB.
  enum : Handle { kLower = 1, kUpper, kHidden, kImageHolder, kSameSize, kStretched, kLabel, kShrunk };
  backend.CreatePeer(platform::kBoardHandle, PeerKind::Board, platform::kBoardHandle, "Form1");
  backend.SetPeerColor(platform::kBoardHandle, 0x000000);
  backend.CreatePeer(kLower, PeerKind::Panel, platform::kBoardHandle, "Lower");
  backend.SetPeerColor(kLower, 0x0000FF);  // red
  backend.SetPeerBounds(kLower, Rect{10, 10, 100, 60});
  backend.CreatePeer(kUpper, PeerKind::Panel, platform::kBoardHandle, "Upper");
  backend.SetPeerColor(kUpper, 0xFF0000);  // blue
  backend.SetPeerBevel(kUpper, true);
  backend.SetPeerBounds(kUpper, Rect{60, 40, 100, 60});
  backend.CreatePeer(kHidden, PeerKind::Panel, platform::kBoardHandle, "Hidden");
  backend.SetPeerColor(kHidden, 0x00FF00);
  backend.SetPeerBounds(kHidden, Rect{0, 0, 300, 300});

  backend.CreatePeer(kImageHolder, PeerKind::Panel, platform::kBoardHandle, "Holder");
  backend.SetPeerBounds(kImageHolder, Rect{200, 10, 100, 60});
  // Left half orange, right half azure; shown at half its size, as the game shrinks photos.
  auto picture = std::make_shared<Picture>();
  picture->width = 160;
  picture->height = 80;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 160; ++x) picture->pixels.push_back(x < 80 ? 0x00FF8000 : 0x000080FF);
  }
  auto exact = std::make_shared<Picture>();
  exact->width = 3;
  exact->height = 2;
  exact->pixels = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203};
  backend.CreatePeer(kSameSize, PeerKind::Image, kImageHolder, "Exact");
  backend.SetPeerBounds(kSameSize, Rect{0, 0, 3, 2});
  backend.SetPeerPicture(kSameSize, exact);
  backend.CreatePeer(kStretched, PeerKind::Image, kImageHolder, "Stretched");
  backend.SetPeerBounds(kStretched, Rect{0, 20, 80, 40});
  backend.SetPeerPicture(kStretched, picture);

  // No two pixels alike, shrunk: each pixel shown must be one of the picture's, taken within
  // a step of (x * W / w, y * H / h), never a blend of several.
  auto unique = std::make_shared<Picture>();
  unique->width = 97;
  unique->height = 61;
  for (int y = 0; y < unique->height; ++y)
    for (int x = 0; x < unique->width; ++x)
      unique->pixels.push_back(static_cast<std::uint32_t>(x << 16 | y << 8 | ((x * 7 + y * 3) & 0xFF)));
  const Rect shrunk{420, 100, 40, 20};
  backend.CreatePeer(kShrunk, PeerKind::Image, platform::kBoardHandle, "Shrunk");
  backend.SetPeerBounds(kShrunk, shrunk);
  backend.SetPeerPicture(kShrunk, unique);

  backend.CreatePeer(kLabel, PeerKind::Label, platform::kBoardHandle, "Label");
  backend.SetPeerBounds(kLabel, Rect{320, 10, 81, 12});
  backend.SetPeerColor(kLabel, 0x808080);
  backend.SetPeerFont(kLabel, platform::Font{"ＭＳ Ｐゴシック", 12, 0x0000FF, 128});
  backend.SetPeerText(kLabel, "リタイア", true);

  for (Handle peer : {kLower, kUpper, kImageHolder, kSameSize, kStretched, kLabel, kShrunk}) {
    backend.SetPeerVisible(peer, true);
  }
  backend.ShowBoard();
  WaitForScreen(backend);

  const auto shot = backend.Photograph(backend.ScreenWidth(), backend.ScreenHeight());
  Check(shot != nullptr, "the screen can be photographed");
  if (shot == nullptr) return;
  Check(shot->width == backend.ScreenWidth(), "the photograph has the width asked for");
  struct Expected {
    const char* what;
    int x, y;
    std::uint32_t rgb;
  };
  const Expected table[] = {
      {"the board is black", 500, 300, 0x000000},
      {"the lower panel shows its colour", 20, 20, 0xFF0000},
      {"a later sibling covers an earlier one", 80, 60, 0x0000FF},
      {"the raised bevel is light at the top left", 60, 40, SystemRgb(COLOR_BTNHIGHLIGHT)},
      {"the raised bevel is dark at the bottom right", 159, 99, SystemRgb(COLOR_BTNSHADOW)},
      {"a picture of the image's size shows pixel for pixel", 201, 10, 0x405060},
      {"... in every row", 202, 11, 0x010203},
      {"a shrunk picture fills the image (left)", 205, 40, 0xFF8000},
      {"a shrunk picture fills the image (right)", 275, 65, 0x0080FF},
      {"an image's panel shows around it", 290, 65, SystemRgb(COLOR_BTNFACE)},
      {"a label's background is opaque", 321, 11, 0x808080},
  };
  for (const Expected& expected : table) {
    const std::uint32_t got = PixelAt(*shot, expected.x, expected.y);
    Check(got == expected.rgb, std::string(expected.what) + ": expected " + Hex(expected.rgb) +
                                   ", got " + Hex(got));
  }
  // Glyphs may be smoothed into the background: count clearly red pixels.
  int text_pixels = 0;
  for (int y = 10; y < 22; ++y) {
    for (int x = 320; x < 401; ++x) {
      const std::uint32_t pixel = PixelAt(*shot, x, y);
      text_pixels += (pixel >> 16 & 0xFF) > 0xC0 && (pixel >> 8 & 0xFF) < 0x60;
    }
  }
  Check(text_pixels > 20, "the label's text is drawn in its colour, red pixels: " +
                              std::to_string(text_pixels));
  int blended = 0;
  for (int y = 0; y < shrunk.height; ++y) {
    for (int x = 0; x < shrunk.width; ++x) {
      const std::uint32_t pixel = PixelAt(*shot, shrunk.left + x, shrunk.top + y);
      const int column = static_cast<int>(pixel >> 16), row = static_cast<int>(pixel >> 8 & 0xFF);
      const bool from_picture = column < unique->width && row < unique->height &&
                                PixelAt(*unique, column, row) == pixel;
      // Systems pick the pixel for a step differently; it lies within the step.
      const bool nearby =
          std::abs(column - x * unique->width / shrunk.width) <= (unique->width + shrunk.width - 1) / shrunk.width &&
          std::abs(row - y * unique->height / shrunk.height) <= (unique->height + shrunk.height - 1) / shrunk.height;
      blended += !(from_picture && nearby);
    }
  }
  Check(blended == 0, "a shrunk picture shows its nearest pixels; others: " + std::to_string(blended));
  if (failures > failures_before) SavePicture(*shot, "backend-drawing.ppm");

  // Mouse input as the system delivers it: labels report presses, clicks and moves; the
  // board's background reports moves and double-clicks; panels report nothing.
  auto& sink = static_cast<RecordingSink&>(*backend.Sink());
  struct Step {
    const char* what;
    int x, y;
    std::vector<DWORD> buttons;  // mouse input sent once the pointer is there
    std::vector<std::string> arrival;  // what moving there reports (unchecked when staying)
    std::vector<std::string> events;   // what the buttons report
  };
  const DWORD left_down = MOUSEEVENTF_LEFTDOWN, left_up = MOUSEEVENTF_LEFTUP;
  const Step steps[] = {
      {"a left click on a label", 330, 15, {left_down, left_up}, {"move 7"},
       {"down 7 left 10,5", "click 7"}},
      {"a right press on a label", 330, 15, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}, {},
       {"down 7 right 10,5"}},
      {"a click on a panel", 20, 20, {left_down, left_up}, {}, {}},
      {"a double-click on the background", 600, 400, {left_down, left_up, left_down, left_up},
       {"move 0"}, {"double 0"}},
  };
  const auto joined = [](const std::vector<std::string>& list) {
    std::string text;
    for (const auto& item : list) text += item + "; ";
    return text;
  };
  for (const Step& step : steps) {
    sink.events.clear();
    SetCursorPos(step.x, step.y);
    WaitForScreen(backend);
    const bool stayed = &step != steps && step.x == (&step - 1)->x && step.y == (&step - 1)->y;
    Check(stayed || sink.events == step.arrival,
          std::string(step.what) + ", moving there: got " + joined(sink.events));
    sink.events.clear();
    std::vector<INPUT> inputs(step.buttons.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      inputs[i].type = INPUT_MOUSE;
      inputs[i].mi.dwFlags = step.buttons[i];
    }
    if (!inputs.empty()) {
      SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }
    WaitForScreen(backend);
    Check(sink.events == step.events, std::string(step.what) + ": got " + joined(sink.events));
  }

  // The system's close command goes to the game, which decides; the board stays.
  sink.events.clear();
  SendMessageW(FindOwnWindow(L"VortraneBoard"), WM_CLOSE, 0, 0);
  Check(sink.events == std::vector<std::string>{"close"}, "a close command asks the game");
  Check(IsWindowVisible(FindOwnWindow(L"VortraneBoard")), "the board stays until the game acts");

  // Only the way in is checked: Wine keeps an owned popup in the band while its owner is the
  // next window down, which is all there is in a test session.
  backend.SetBoardTopmost(true);
  const HWND board = FindOwnWindow(L"VortraneBoard");
  Check((GetWindowLongW(board, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, "topmost on");
  backend.SetBoardTopmost(false);
  backend.HideBoard();
  Check(!IsWindowVisible(board), "the board hides");
}

void TestArguments(platform::Backend& backend, const std::vector<std::string>& expected) {
  const auto arguments = backend.Arguments();
  Check(arguments.size() == expected.size() + 1, "every argument arrives, and the program");
  for (std::size_t i = 0; i < expected.size() && i + 1 < arguments.size(); ++i) {
    Check(arguments[i + 1] == expected[i], "argument " + std::to_string(i + 1) +
                                               " is UTF-8: got " + arguments[i + 1]);
  }
}

}  // namespace

int main() {
  auto backend = platform::win32::CreateBackend();
  if (backend == nullptr) {
    std::printf("FAILED: the backend cannot be created\n");
    return 1;
  }
  RecordingSink sink;
  backend->SetSink(&sink);
  TestArguments(*backend, {"-Tovik", "200", "日本語 と空白"});
  TestRegistry(*backend);
  TestInstanceGuard(*backend);
  TestTimersAndBoxes(*backend, sink);
  TestDrawing(*backend);
  std::printf("%s: %d failure(s)\n", failures == 0 ? "PASSED" : "FAILED", failures);
  return failures == 0 ? 0 : 1;
}
