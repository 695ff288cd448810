// Checks of the Qt backend on a real X server: loop and boxes, timers, peers and their events, the board window, the guard, the clock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleHints>
#include <atomic>
#include <QTimer>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/InstanceGuard.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/X11.h"

namespace {

using platform::Handle;
using platform::MouseButton;
using platform::PeerKind;
using platform::qt::QtBackend;

// Logs what the backend reports, as short lines a table can hold.
class RecordingSink : public platform::EventSink {
 public:
  std::vector<std::string> log;
  std::function<void(int)> on_tick;
  std::function<void(Handle)> on_mouse_down;
  std::vector<int> ticks = std::vector<int>(8, 0);

  void TimerTick(int timer) override {
    ++ticks[static_cast<std::size_t>(timer)];
    if (on_tick) on_tick(timer);
  }
  void MouseDown(Handle control, MouseButton button, int x, int y) override {
    const char* name = button == MouseButton::Left ? "left" : button == MouseButton::Right ? "right" : "middle";
    log.push_back("down " + std::to_string(control) + " " + name + " " + std::to_string(x) + "," + std::to_string(y));
    if (on_mouse_down) on_mouse_down(control);
  }
  void MouseMove(Handle control, int x, int y) override {
    log.push_back("move " + std::to_string(control) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void Click(Handle control) override { log.push_back("click " + std::to_string(control)); }
  void DoubleClick(Handle control) override { log.push_back("double " + std::to_string(control)); }
  void CloseRequest() override { log.push_back("close"); }
  bool EndSessionQuery() override { return true; }
};

// Runs the event loop for a while: timers and window-system events are handled.
void Pump(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool PumpUntil(const std::function<bool()>& condition, int milliseconds = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Pump(10);
  }
  return true;
}

// What the box looked like when it was answered.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<QMessageBox::StandardButton> buttons;
  QMessageBox::StandardButton default_button = QMessageBox::NoButton;
};

// Answers the next message box with button after wait_ms, as a player would click it;
// before_click sees the box first.
void AnswerNextBox(QMessageBox::StandardButton button, SeenBox* seen, int wait_ms = 0,
                   std::function<void(QMessageBox*)> before_click = nullptr) {
  auto* poll = new QTimer;
  auto started = std::make_shared<std::chrono::steady_clock::time_point>();
  QObject::connect(poll, &QTimer::timeout, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    if (*started == std::chrono::steady_clock::time_point{}) *started = std::chrono::steady_clock::now();
    if (std::chrono::steady_clock::now() - *started < std::chrono::milliseconds(wait_ms)) return;
    if (seen != nullptr) {
      seen->title = box->windowTitle();
      seen->text = box->text();
      seen->icon = box->icon();
      for (QAbstractButton* b : box->buttons()) seen->buttons.push_back(box->standardButton(b));
      std::sort(seen->buttons.begin(), seen->buttons.end());
      seen->default_button = box->standardButton(box->defaultButton());
    }
    poll->stop();
    poll->deleteLater();
    if (before_click) before_click(box);
    if (QAbstractButton* b = box->button(button)) b->click();
  });
  poll->start(10);
}

class QtBackendTest : public ::testing::Test {
 protected:
  void SetUp() override { backend_.SetSink(&sink_); }
  RecordingSink sink_;
  QtBackend backend_;
};

// ---- Message boxes ----

struct BoxCase {
  unsigned flags;
  QMessageBox::Icon icon;
  std::vector<QMessageBox::StandardButton> buttons;
  QMessageBox::StandardButton pressed;
  int answer;
};

TEST_F(QtBackendTest, MessageBoxShowsFlagsAndReturnsTheButtonPressed) {
  const std::vector<BoxCase> cases = {
      {0x00, QMessageBox::NoIcon, {QMessageBox::Ok}, QMessageBox::Ok, 1},
      {0x10, QMessageBox::Critical, {QMessageBox::Ok}, QMessageBox::Ok, 1},
      {0x30, QMessageBox::Warning, {QMessageBox::Ok}, QMessageBox::Ok, 1},
      {0x40, QMessageBox::Information, {QMessageBox::Ok}, QMessageBox::Ok, 1},
      {0x24, QMessageBox::Question, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Yes, 6},
      {0x24, QMessageBox::Question, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::No, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    SeenBox seen;
    AnswerNextBox(c.pressed, &seen);
    EXPECT_EQ(backend_.MessageBox("一行目\n二行目", "ヘタレ", c.flags), c.answer);
    EXPECT_EQ(seen.title, QString::fromUtf8("ヘタレ"));
    EXPECT_EQ(seen.text, QString::fromUtf8("一行目\n二行目"));
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.buttons, c.buttons);
    EXPECT_EQ(seen.default_button, c.buttons.front());  // Return presses the first button
  }
}

TEST_F(QtBackendTest, TimersGoOnWhileABoxIsOpen) {
  backend_.SetTimer(1, 20, true);
  AnswerNextBox(QMessageBox::Ok, nullptr, 300);
  backend_.MessageBox("wait", "VT", 0);
  EXPECT_GE(sink_.ticks[1], 5);
}

TEST_F(QtBackendTest, BoxesStillWorkAfterTheLoopWasToldToQuit) {
  // The ending quits the loop and then shows its warning and the tally.
  int answer = 0;
  sink_.on_tick = [&](int) {
    backend_.SetTimer(1, 0, false);
    backend_.QuitMessageLoop();
    // Yes: a box that returned at once, unanswered, would give No.
    AnswerNextBox(QMessageBox::Yes, nullptr, 50);
    answer = backend_.MessageBox("after quitting", "VT", 0x24);
  };
  backend_.SetTimer(1, 10, true);
  backend_.RunMessageLoop();
  EXPECT_EQ(answer, 6);
  EXPECT_EQ(sink_.ticks[1], 1);
}

TEST_F(QtBackendTest, QuittingBeforeTheLoopRunsMakesItReturnAtOnce) {
  backend_.QuitMessageLoop();
  backend_.RunMessageLoop();  // would hang here otherwise
}

// ---- Timers ----

TEST_F(QtBackendTest, IntervalsThatNeverTick) {
  backend_.SetTimer(1, 15, true);
  backend_.SetTimer(2, 0, true);            // zero never ticks
  backend_.SetTimer(3, 0x80000000u, true);  // beyond what QTimer takes: never in a session
  backend_.SetTimer(4, 0xFFFFFFFFu, true);  // what -Tovik -1 gives
  backend_.SetTimer(5, 15, false);
  backend_.SetTimer(6, 15, true);
  backend_.SetTimer(6, 15, false);  // stopped again
  Pump(250);
  EXPECT_GE(sink_.ticks[1], 5);
  for (int timer : {2, 3, 4, 5, 6}) EXPECT_EQ(sink_.ticks[static_cast<std::size_t>(timer)], 0) << timer;
}

// ---- Peers and the board window ----

xcb_connection_t* Connection() {
  return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

std::string WindowName(xcb_window_t window) {
  auto* c = Connection();
  auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 256), nullptr);
  std::string name;
  if (reply != nullptr) {
    name.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
  }
  return name;
}

// Named children of window, bottom of the stack first.
std::vector<std::string> ChildNames(xcb_window_t window) {
  auto* c = Connection();
  std::vector<std::string> names;
  auto* reply = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
  if (reply == nullptr) return names;
  const xcb_window_t* children = xcb_query_tree_children(reply);
  for (int i = 0; i < xcb_query_tree_children_length(reply); ++i)
    if (auto name = WindowName(children[i]); !name.empty()) names.push_back(name);
  std::free(reply);
  return names;
}

bool Viewable(xcb_window_t window) {
  auto* c = Connection();
  auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
  const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(reply);
  return viewable;
}

bool OnTop(xcb_window_t window) {
  auto* c = Connection();
  auto atom = [&](const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
  };
  const xcb_atom_t above = atom("_NET_WM_STATE_ABOVE");
  auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64), nullptr);
  bool found = false;
  if (reply != nullptr) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) found = found || atoms[i] == above;
    std::free(reply);
  }
  return found;
}

xcb_window_t WindowOf(QtBackend& backend, Handle control) { return backend.PeerWindowId(control); }

xcb_window_t Parent(xcb_window_t window) {
  auto* c = Connection();
  auto* reply = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
  const xcb_window_t parent = reply != nullptr ? reply->parent : 0;
  std::free(reply);
  return parent;
}

bool IsInside(xcb_window_t window, xcb_window_t ancestor) {
  for (xcb_window_t w = Parent(window); w != 0; w = Parent(w))
    if (w == ancestor) return true;
  return false;
}

TEST_F(QtBackendTest, PeersAreNamedNativeWindowsStackedInOrderOfCreationAndStartHidden) {
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  backend_.CreatePeer(1, PeerKind::Label, 0, "Label5");
  backend_.CreatePeer(2, PeerKind::Panel, 0, "Panel1");
  backend_.CreatePeer(3, PeerKind::Image, 2, "Image1");
  backend_.CreatePeer(4, PeerKind::Panel, 0, "Panel3");
  for (Handle h : {1u, 2u, 3u, 4u}) backend_.SetPeerBounds(h, {10, 10, 50, 40});
  backend_.ShowBoard();
  Pump(50);
  const xcb_window_t board = WindowOf(backend_, 0);
  EXPECT_TRUE(IsInside(WindowOf(backend_, 1), board));
  EXPECT_EQ(ChildNames(Parent(WindowOf(backend_, 1))), (std::vector<std::string>{"Label5", "Panel1", "Panel3"}));
  EXPECT_EQ(ChildNames(WindowOf(backend_, 2)), std::vector<std::string>{"Image1"});
  EXPECT_FALSE(Viewable(WindowOf(backend_, 2)));
  backend_.SetPeerVisible(2, true);
  backend_.SetPeerVisible(3, true);
  EXPECT_TRUE(PumpUntil([&] { return Viewable(WindowOf(backend_, 3)); }));
  EXPECT_FALSE(Viewable(WindowOf(backend_, 4)));
}

TEST_F(QtBackendTest, TheBoardKeepsItsWindowThroughTopmostChangesHiddenAndShown) {
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  backend_.CreatePeer(1, PeerKind::Panel, 0, "Panel1");
  const xcb_window_t board = WindowOf(backend_, 0);
  // Set-up puts the hidden board on top; the ending hides and shows it again.
  backend_.SetBoardTopmost(true);
  backend_.ShowBoard();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(board) && OnTop(board); }));
  backend_.SetBoardTopmost(false);
  EXPECT_TRUE(PumpUntil([&] { return !OnTop(board); }));
  backend_.SetBoardTopmost(true);
  EXPECT_TRUE(PumpUntil([&] { return OnTop(board); }));
  backend_.HideBoard();
  ASSERT_TRUE(PumpUntil([&] { return !Viewable(board); }));
  backend_.SetBoardTopmost(false);
  backend_.SetBoardTopmost(true);
  backend_.ShowBoard();
  EXPECT_TRUE(PumpUntil([&] { return Viewable(board) && OnTop(board); }));
  EXPECT_EQ(WindowOf(backend_, 0), board);
  EXPECT_TRUE(IsInside(WindowOf(backend_, 1), board));
}

TEST_F(QtBackendTest, ImagesOfOneSizeShareOneScaledCopyAndMovingMakesNoNewOne) {
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  auto picture = std::make_shared<platform::Picture>();
  picture->width = 64;
  picture->height = 48;
  picture->pixels.assign(64 * 48, 0x00336699u);
  Handle next = 1;
  std::vector<Handle> panels;
  for (int i = 0; i < 4; ++i) {
    const Handle panel = next++, image = next++;
    backend_.CreatePeer(panel, PeerKind::Panel, 0, "Panel");
    backend_.CreatePeer(image, PeerKind::Image, panel, "Image");
    backend_.SetPeerBounds(panel, {0, 0, 40, 30});
    backend_.SetPeerBounds(image, {0, 0, 40, 20});
    backend_.SetPeerVisible(panel, true);
    backend_.SetPeerVisible(image, true);
    backend_.SetPeerPicture(image, picture);
    panels.push_back(panel);
  }
  backend_.ShowBoard();
  Pump(50);
  EXPECT_EQ(backend_.ScaledPicturesMade(), 1);
  for (int step = 1; step <= 5; ++step)
    for (Handle panel : panels) backend_.SetPeerBounds(panel, {step * 7, step * 5, 40, 30});
  Pump(50);
  EXPECT_EQ(backend_.ScaledPicturesMade(), 1);
  backend_.SetPeerBounds(2, {0, 0, 30, 20});
  Pump(20);
  EXPECT_EQ(backend_.ScaledPicturesMade(), 2);
}

TEST_F(QtBackendTest, ScaledCopiesMatchTheNearestPixelOfThePhotograph) {
  // A picture with no two pixels alike, shown at sizes above and below its own; the copy on
  // the screen must pick, for every pixel, the photograph's pixel at (x * w / W, y * h / H).
  auto picture = std::make_shared<platform::Picture>();
  picture->width = 97;
  picture->height = 61;
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width; ++x) picture->pixels.push_back(static_cast<std::uint32_t>(x << 16 | y << 8 | (x ^ y)));
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  backend_.CreatePeer(1, PeerKind::Panel, 0, "Panel1");
  backend_.CreatePeer(2, PeerKind::Image, 1, "Image1");
  backend_.SetPeerVisible(1, true);
  backend_.SetPeerVisible(2, true);
  backend_.SetPeerPicture(2, picture);
  backend_.ShowBoard();
  struct Size {
    int width, height;
  };
  for (const Size size : {Size{97, 61}, Size{40, 20}, Size{13, 7}, Size{96, 60}, Size{150, 91}, Size{300, 244}}) {
    SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
    backend_.SetPeerBounds(1, {0, 0, size.width, size.height});
    backend_.SetPeerBounds(2, {0, 0, size.width, size.height});
    std::vector<std::uint32_t> expected;
    for (int y = 0; y < size.height; ++y)
      for (int x = 0; x < size.width; ++x)
        expected.push_back(picture->pixels[static_cast<std::size_t>(y * picture->height / size.height * picture->width +
                                                                      x * picture->width / size.width)]);
    std::optional<platform::qt::x11::ScreenPixels> seen;
    PumpUntil([&] {
      seen = platform::qt::x11::ReadRoot(0, 0, size.width, size.height);
      return seen && seen->pixels == expected;
    });
    ASSERT_TRUE(seen);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) differing += (seen->pixels[i] & 0xFFFFFFu) != expected[i];
    EXPECT_EQ(differing, 0u);
  }
}

// ---- The photograph after a box ----

// Plays a compositing manager that takes a closed box off the screen slowly: it holds the
// screen's compositing selection, shows the box's last look where the box was for 100 ms, dims
// it a step every 30 ms, and only then lets the screen show what lies beneath. On a connection
// of its own.
class FadingGhost {
 public:
  FadingGhost(QRect area, std::vector<std::uint32_t> pixels) : area_(area), pixels_(std::move(pixels)) {
    connection_ = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const std::uint32_t override_redirect = 1;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, static_cast<std::int16_t>(area.x()),
                      static_cast<std::int16_t>(area.y()), static_cast<std::uint16_t>(area.width()),
                      static_cast<std::uint16_t>(area.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &override_redirect);
    const char name[] = "_NET_WM_CM_S0";
    auto* atom = xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
    xcb_set_selection_owner(connection_, window_, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    gc_ = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc_, window_, 0, nullptr);
    xcb_map_window(connection_, window_);
    Show(0);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    fader_ = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(70));
      for (int step = 1; step <= 5; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Show(step);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      xcb_destroy_window(connection_, window_);
      std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
      gone_ = true;
    });
  }
  ~FadingGhost() {
    fader_.join();
    xcb_disconnect(connection_);
  }
  bool Gone() const { return gone_; }

 private:
  // The last look, dimmed by step sixths.
  void Show(int step) {
    std::vector<std::uint32_t> rows;
    for (int y = 0; y < area_.height(); y += 32) {
      const int count = std::min(32, area_.height() - y);
      rows.assign(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * area_.width(),
                  pixels_.begin() + static_cast<std::ptrdiff_t>(y + count) * area_.width());
      for (auto& pixel : rows) {
        std::uint32_t dimmed = 0;
        for (int shift : {0, 8, 16}) dimmed |= ((pixel >> shift & 0xFFu) * static_cast<std::uint32_t>(6 - step) / 6) << shift;
        pixel = dimmed;
      }
      xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(area_.width()),
                    static_cast<std::uint16_t>(count), 0, static_cast<std::int16_t>(y), 0, 24,
                    static_cast<std::uint32_t>(rows.size() * 4), reinterpret_cast<const std::uint8_t*>(rows.data()));
    }
    xcb_flush(connection_);
  }

  QRect area_;
  std::vector<std::uint32_t> pixels_;
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_gcontext_t gc_ = 0;
  std::thread fader_;
  std::atomic<bool> gone_{false};
};

TEST_F(QtBackendTest, ThePhotographWaitsUntilAClosedBoxHasFadedFromTheScreen) {
  QRect area;
  std::optional<platform::qt::x11::ScreenPixels> last_look;
  AnswerNextBox(QMessageBox::Ok, nullptr, 100, [&](QMessageBox* box) {
    area = box->frameGeometry().adjusted(-16, -16, 16, 16) & QRect(0, 0, backend_.ScreenWidth(), backend_.ScreenHeight());
    last_look = platform::qt::x11::ReadRoot(area.x(), area.y(), area.width(), area.height());
  });
  backend_.MessageBox("このプログラムには過激な表現が含まれています。", "VT", 0x30);
  ASSERT_TRUE(last_look);
  FadingGhost ghost(area, last_look->pixels);
  const auto photograph = backend_.Photograph(backend_.ScreenWidth(), backend_.ScreenHeight());
  EXPECT_TRUE(photograph != nullptr);
  EXPECT_TRUE(ghost.Gone()) << "the photograph was taken while the box still faded";
}

// ---- Mouse events ----

// Real pointer input, made by the X server's test extension: it reaches windows the way a
// player's mouse does, grabs and all.
enum class Act { Move, Press, Release };

struct Step {
  Handle target;  // the place is given relative to this control
  Act act;
  std::uint8_t button;  // 1 left, 2 middle, 3 right
  QPoint at;
};

QPoint OnRoot(xcb_window_t window, QPoint at) {
  auto* c = Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* reply = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, window, root, static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y())), nullptr);
  const QPoint on_root = reply != nullptr ? QPoint(reply->dst_x, reply->dst_y) : at;
  std::free(reply);
  return on_root;
}

void Perform(QtBackend& backend, const Step& step) {
  auto* c = Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  if (step.act == Act::Move) {
    const QPoint to = OnRoot(WindowOf(backend, step.target), step.at);
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, static_cast<std::int16_t>(to.x()),
                        static_cast<std::int16_t>(to.y()), 0);
  } else {
    xcb_test_fake_input(c, step.act == Act::Press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, step.button,
                        XCB_CURRENT_TIME, root, 0, 0, 0);
  }
  xcb_flush(c);
  Pump(30);
}

struct MouseCase {
  const char* what;
  std::vector<Step> steps;
  std::vector<std::string> expected;
};

TEST_F(QtBackendTest, MouseEventsReachTheControlUnderThePointerOnly) {
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  backend_.CreatePeer(1, PeerKind::Label, 0, "Label1");
  backend_.CreatePeer(2, PeerKind::Panel, 0, "Panel1");
  backend_.CreatePeer(3, PeerKind::Image, 2, "Image1");
  backend_.SetPeerBounds(1, {5, 5, 26, 12});
  backend_.SetPeerBounds(2, {100, 100, 50, 40});
  backend_.SetPeerBounds(3, {0, 0, 50, 20});
  for (Handle h : {1u, 2u, 3u}) backend_.SetPeerVisible(h, true);
  backend_.ShowBoard();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(WindowOf(backend_, 3)); }));
  Pump(100);
  const auto M = Act::Move, P = Act::Press, R = Act::Release;
  const std::uint8_t L = 1, Mi = 2, Rt = 3;
  const std::vector<MouseCase> cases = {
      {"left click", {{1, M, 0, {3, 4}}, {1, P, L, {}}, {1, R, L, {}}}, {"move 1 3,4", "down 1 left 3,4", "click 1"}},
      {"any button presses, only the left clicks",
       {{1, M, 0, {1, 1}}, {1, P, Rt, {}}, {1, R, Rt, {}}, {1, M, 0, {2, 2}}, {1, P, Mi, {}}, {1, R, Mi, {}}},
       {"move 1 1,1", "down 1 right 1,1", "move 1 2,2", "down 1 middle 2,2"}},
      {"released outside: the label still hears the pointer, no click",
       {{1, M, 0, {3, 4}}, {1, P, L, {}}, {1, M, 0, {40, 4}}, {1, R, L, {}}},
       {"move 1 3,4", "down 1 left 3,4", "move 1 40,4"}},
      {"double click presses twice, clicks once",
       {{1, M, 0, {3, 4}}, {1, P, L, {}}, {1, R, L, {}}, {1, P, L, {}}, {1, R, L, {}}},
       {"move 1 3,4", "down 1 left 3,4", "click 1", "down 1 left 3,4"}},
      {"moves on the board", {{0, M, 0, {300, 200}}}, {"move 0 300,200"}},
      {"moves, presses and double clicks on a panel or image reach nobody",
       {{2, M, 0, {1, 30}}, {3, M, 0, {1, 1}}, {3, P, L, {}}, {3, R, L, {}}, {3, P, L, {}}, {3, R, L, {}}},
       {}},
      {"the board's double click is the left button's",
       {{0, M, 0, {300, 200}}, {0, P, Rt, {}}, {0, R, Rt, {}}, {0, P, Rt, {}}, {0, R, Rt, {}},
        {0, P, L, {}}, {0, R, L, {}}, {0, P, L, {}}, {0, R, L, {}}},
       {"move 0 300,200", "double 0"}},
  };
  const int double_click_ms = QGuiApplication::styleHints()->mouseDoubleClickInterval();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // From a place of its own, and too late to make a double click with the case before.
    Perform(backend_, {0, M, 0, {600, 500}});
    Pump(double_click_ms + 50);
    sink_.log.clear();
    for (const auto& step : c.steps) Perform(backend_, step);
    Pump(50);
    EXPECT_EQ(sink_.log, c.expected);
  }
}

TEST_F(QtBackendTest, APressThatOpensABoxIsNoClick) {
  backend_.CreatePeer(0, PeerKind::Board, 0, "Form1");
  backend_.CreatePeer(1, PeerKind::Label, 0, "Label5");
  backend_.SetPeerBounds(1, {8, 8, 81, 12});
  backend_.SetPeerVisible(1, true);
  backend_.ShowBoard();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(WindowOf(backend_, 1)); }));
  Pump(100);
  Perform(backend_, {1, Act::Move, 0, {2, 2}});
  sink_.log.clear();
  sink_.on_mouse_down = [&](Handle) {
    AnswerNextBox(QMessageBox::Ok, nullptr);
    backend_.MessageBox("hit", "VT", 0x40);
  };
  Perform(backend_, {1, Act::Press, 1, {}});
  ASSERT_TRUE(PumpUntil([&] { return !sink_.log.empty(); }));
  sink_.on_mouse_down = nullptr;
  Perform(backend_, {1, Act::Release, 1, {}});
  Pump(50);
  EXPECT_EQ(sink_.log, std::vector<std::string>{"down 1 left 2,2"});
}

// ---- System ----

TEST_F(QtBackendTest, TickCountIsMillisecondsSinceBoot) {
  std::ifstream uptime("/proc/uptime");
  double seconds = 0;
  ASSERT_TRUE(uptime >> seconds);
  const auto expected = static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds * 1000.0));
  const std::uint32_t difference = backend_.TickCount() - expected;  // wraps like the tick count
  EXPECT_LT(std::min(difference, 0u - difference), 2000u);
}

TEST_F(QtBackendTest, ArgumentsArriveAsUtf8WithTheProgramFirst) {
  const auto arguments = backend_.Arguments();
  ASSERT_GE(arguments.size(), 3u);
  EXPECT_NE(arguments[0].find("backend_tests"), std::string::npos);
  EXPECT_EQ(arguments[1], "-Tovik");
  EXPECT_EQ(arguments[2], "５０");
}

// ---- The single-instance guard ----

class InstanceGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vortrane-guard-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(InstanceGuardTest, OneHolderAtATime) {
  platform::qt::InstanceGuard first, second;
  ASSERT_TRUE(first.Acquire(folder_, "VT - mutex"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "VT - mutex"));
  EXPECT_FALSE(second.Acquire(folder_, "VT - mutex"));
  EXPECT_TRUE(second.Acquire(folder_, "another name"));
  first.Release();
  EXPECT_TRUE(second.Acquire(folder_, "VT - mutex"));
}

TEST_F(InstanceGuardTest, AFolderOthersMayWriteToIsNotTrusted) {
  // Anyone could hold a lock there and keep the game from starting: it runs unguarded.
  chmod(folder_.c_str(), 0777);
  platform::qt::InstanceGuard first, second;
  EXPECT_TRUE(first.Acquire(folder_, "VT - mutex"));
  EXPECT_TRUE(second.Acquire(folder_, "VT - mutex"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "VT - mutex"));
}

TEST_F(InstanceGuardTest, WithoutARuntimeFolderAPrivateOneInTheTemporaryFolder) {
  const std::string saved = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  unsetenv("XDG_RUNTIME_DIR");
  setenv("TMPDIR", folder_.c_str(), 1);
  const auto folder = platform::qt::InstanceGuard::DefaultFolder();
  if (!saved.empty()) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  unsetenv("TMPDIR");
  EXPECT_EQ(folder, folder_ / ("vortrane-" + std::to_string(getuid())));
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
