// The Qt backend: peers, board window, boxes, timers, photograph, guard and record on X11.
#include "platform/qt/QtBackend.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "platform/RegistryFile.h"
#include "platform/qt/SystemInfo.h"
#include "platform/qt/X11.h"

namespace platform::qt {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QScreen* PrimaryScreen() { return QGuiApplication::primaryScreen(); }

struct ButtonSet {
  unsigned flag;
  std::vector<std::pair<QMessageBox::StandardButton, int>> buttons;  // first is the default
};

// The button sets the game uses (low four bits of the flags), with the answers they give;
// any other set shows OK.
const ButtonSet& ButtonsFor(unsigned flags) {
  static const std::vector<ButtonSet> sets = {
      {mb::kOk, {{QMessageBox::Ok, mb::kIdOk}}},
      {mb::kYesNo, {{QMessageBox::Yes, mb::kIdYes}, {QMessageBox::No, mb::kIdNo}}},
  };
  for (const auto& set : sets)
    if (set.flag == (flags & 0x0Fu)) return set;
  return sets.front();
}

QMessageBox::Icon IconFor(unsigned flags) {
  switch (flags & 0xF0u) {
    case mb::kIconHand: return QMessageBox::Critical;
    case mb::kIconQuestion: return QMessageBox::Question;
    case mb::kIconExclamation: return QMessageBox::Warning;
    case mb::kIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

bool SamePixels(const x11::ScreenPixels& a, const x11::ScreenPixels& b) {
  return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

}  // namespace

// Takes the pointer events the X server sends to the controls' windows, which Qt does not know.
class QtBackend::PointerFilter : public QAbstractNativeEventFilter {
 public:
  explicit PointerFilter(QtBackend& backend) : backend_(backend) {}
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    xcb_window_t window = 0;
    switch (event->response_type & 0x7F) {
      case XCB_BUTTON_PRESS:
      case XCB_BUTTON_RELEASE:
      case XCB_MOTION_NOTIFY:
        // The three share their layout.
        window = static_cast<const xcb_button_press_event_t*>(message)->event;
        break;
      default: return false;
    }
    const auto found = backend_.peers_by_window_.find(window);
    if (found == backend_.peers_by_window_.end()) return false;
    found->second->OnPointer(message);
    return true;
  }

 private:
  QtBackend& backend_;
};

QtBackend::QtBackend() {
  context_.backend = this;
  context_.settle = [this] { Settle(); };
  settler_ = std::make_unique<QObject>();
  context_.settle_later = [this] {
    if (settle_queued_) return;
    settle_queued_ = true;
    QMetaObject::invokeMethod(settler_.get(), [this] {
      settle_queued_ = false;
      Settle();
    }, Qt::QueuedConnection);
  };
  // For the benchmark: each tick's own time, as the game sees it.
  const char* trace = std::getenv("VORTRANE_TRACE_TICKS");
  trace_ticks_ = trace != nullptr && std::strcmp(trace, "1") == 0;
  board_ = std::make_unique<BoardWindow>(context_);
  board_->setObjectName("Form1");
  if (auto* screen = PrimaryScreen()) board_->setGeometry(screen->geometry());
  pointer_filter_ = std::make_unique<PointerFilter>(*this);
  qApp->installNativeEventFilter(pointer_filter_.get());
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                   [this](QSessionManager& manager) { OnCommitDataRequest(manager); });
}

QtBackend::~QtBackend() {
  qApp->removeNativeEventFilter(pointer_filter_.get());
  settler_.reset();
  timers_.clear();
  // The controls' windows go before the board's, which would take them along.
  peers_by_window_.clear();
  peers_.clear();
  board_.reset();
  x11::Flush();
}

std::uint32_t QtBackend::BoardWindowId() const { return static_cast<std::uint32_t>(board_->winId()); }

PeerWindow* QtBackend::Peer(Handle control) const {
  const auto found = peers_.find(control);
  return found == peers_.end() ? nullptr : found->second.get();
}

std::uint32_t QtBackend::PeerWindowId(Handle control) const {
  if (control == kBoardHandle) return BoardWindowId();
  const PeerWindow* peer = Peer(control);
  return peer ? peer->Window() : 0;
}

// ---- Message loop ----

void QtBackend::RunMessageLoop() {
  // A loop of our own rather than QApplication::exec(): quitting it must not make the
  // boxes the game still shows on its way out return at once, as QCoreApplication::exit does.
  if (quit_requested_) return;
  QEventLoop loop;
  main_loop_ = &loop;
  loop.exec();
  main_loop_ = nullptr;
}

void QtBackend::QuitMessageLoop() {
  quit_requested_ = true;
  if (main_loop_ != nullptr) main_loop_->exit(0);
}

void QtBackend::ProcessPendingMessages() {
  Settle();
  QCoreApplication::processEvents();
  x11::Flush();
}

void QtBackend::Sleep(std::uint32_t milliseconds) {
  // What has been drawn or hidden reaches the screen first, as it would on a system that
  // draws synchronously; then nothing is handled until the time is up.
  Settle();
  x11::Flush();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Message box ----

namespace {

// A message box that says once when it is about to close, while it is still on the screen. A
// button or Escape closes it by way of buttonClicked, the window manager by way of done().
class ClosingBox : public QMessageBox {
 public:
  explicit ClosingBox(QWidget* parent) : QMessageBox(parent) {
    QObject::connect(this, &QMessageBox::buttonClicked, this, [this] { AboutToClose(); });
  }
  std::function<void()> about_to_close;

 protected:
  void done(int result) override {
    AboutToClose();
    QMessageBox::done(result);
  }

 private:
  void AboutToClose() {
    if (about_to_close) std::exchange(about_to_close, nullptr)();
  }
};

}  // namespace

int QtBackend::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
  Settle();
  // Owned by the board while it is on screen, so the window manager keeps the box above it.
  ClosingBox box(board_->isVisible() ? board_.get() : nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(FromUtf8(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(FromUtf8(text));
  box.setIcon(IconFor(flags));
  const ButtonSet& set = ButtonsFor(flags);
  std::vector<std::pair<QAbstractButton*, int>> answers;
  for (const auto& [standard, answer] : set.buttons) answers.emplace_back(box.addButton(standard), answer);
  box.setDefaultButton(static_cast<QPushButton*>(answers.front().first));
  ++context_.boxes_shown;
  ClosedBox closed;
  closed.window = static_cast<std::uint32_t>(box.winId());
  box.about_to_close = [&] {
    // Where it lies, with room for a frame or shadow the window manager drew around it, and
    // how that looks with the box there, to tell later when it has left the screen.
    const qreal ratio = box.devicePixelRatioF();
    const QRect frame = box.frameGeometry().adjusted(-16, -16, 16, 16);
    closed.area = QRect(QPoint(qRound(frame.left() * ratio), qRound(frame.top() * ratio)),
                        QSize(qRound(frame.width() * ratio), qRound(frame.height() * ratio)));
    closed.last_look = x11::ReadRoot(closed.area.x(), closed.area.y(), closed.area.width(), closed.area.height());
  };
  box.exec();
  box.hide();
  x11::Flush();
  closed.closed = std::chrono::steady_clock::now();
  if (!closed.area.isEmpty()) closed_boxes_.push_back(std::move(closed));
  for (const auto& [button, answer] : answers)
    if (box.clickedButton() == button) return answer;
  // Closed without a button (Escape, the window manager): the escape button's answer.
  return set.buttons.back().second;
}

// ---- Timers ----

void QtBackend::SetTimer(int timer, std::uint32_t interval_ms, bool enabled) {
  auto& slot = timers_[timer];
  if (!slot) {
    slot = std::make_unique<QTimer>();
    slot->setTimerType(Qt::PreciseTimer);
    QObject::connect(slot.get(), &QTimer::timeout, [this, timer] {
      auto* sink = Sink();
      if (sink == nullptr) return;
      const auto start = std::chrono::steady_clock::now();
      {
        Dispatch dispatch(context_);
        sink->TimerTick(timer);
      }
      if (trace_ticks_) {
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        std::fprintf(stderr, "vortrane-tick %d %lld\n", timer, static_cast<long long>(took.count()));
      }
    });
  }
  // QTimer takes at most INT_MAX ms; a longer interval never comes round in a session.
  if (!enabled || interval_ms == 0 || interval_ms > static_cast<std::uint32_t>(INT_MAX)) {
    slot->stop();
    return;
  }
  slot->start(static_cast<int>(interval_ms));
}

// ---- Peers ----

void QtBackend::CreatePeer(Handle control, PeerKind kind, Handle parent, std::string_view name) {
  if (kind == PeerKind::Board || control == kBoardHandle) {
    board_->setObjectName(FromUtf8(name));
    return;
  }
  const PeerWindow* parent_peer = Peer(parent);
  const std::uint32_t parent_window = parent_peer ? parent_peer->Window() : board_->ClientWindow();
  peers_by_window_.erase(PeerWindowId(control));
  // A new window lies above its earlier siblings.
  auto peer = std::make_unique<PeerWindow>(context_, control, kind, parent_window, name);
  peers_by_window_[peer->Window()] = peer.get();
  peers_[control] = std::move(peer);
}

void QtBackend::SetPeerBounds(Handle control, Rect bounds) {
  // The board is maximised: it covers the primary screen whatever the layout says.
  if (control == kBoardHandle) return;
  // Applied when the call into the game returns, or before anything shows the screen or waits.
  if (auto* peer = Peer(control)) peer->SetBounds(bounds);
}

void QtBackend::Settle() {
  // The list keeps its room: the next tick's moves need no allocation.
  for (PeerWindow* peer : context_.changed) peer->Apply();
  context_.changed.clear();
  x11::Flush();
}

void QtBackend::SetPeerVisible(Handle control, bool visible) {
  // Whatever moved before is in place before anything appears or goes.
  Settle();
  if (control == kBoardHandle) {
    visible ? ShowBoard() : HideBoard();
    return;
  }
  if (auto* peer = Peer(control)) {
    peer->SetVisible(visible);
    // Inside a call into the game the requests go out when it returns.
    if (context_.dispatching == 0) x11::Flush();
  }
}

void QtBackend::SetPeerColor(Handle control, std::uint32_t color) {
  if (control == kBoardHandle) board_->SetColor(ToQColor(color));
  else if (auto* peer = Peer(control)) peer->SetColor(ToQColor(color));
}

void QtBackend::SetPeerBevel(Handle control, bool raised) {
  if (auto* peer = Peer(control)) peer->SetBevel(raised);
}

void QtBackend::SetPeerText(Handle control, std::string_view utf8, bool centered) {
  if (auto* peer = Peer(control)) peer->SetText(FromUtf8(utf8), centered);
}

void QtBackend::SetPeerFont(Handle control, const Font& font) {
  if (auto* peer = Peer(control)) peer->SetFont(font);
}

void QtBackend::SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) {
  // The copy is made at the image's size as the game has set it, when the backend settles.
  if (auto* peer = Peer(control)) peer->SetPicture(std::move(picture));
}

// ---- Board window ----

void QtBackend::ShowBoard() {
  if (auto* screen = PrimaryScreen()) board_->setGeometry(screen->geometry());
  // Moved to a screen of another scale: every control is laid out and drawn again.
  if (const qreal ratio = board_->devicePixelRatioF(); ratio != context_.ratio) {
    context_.ratio = ratio;
    board_->FitClient();
    for (auto& [handle, peer] : peers_) peer->Redraw();
  }
  Settle();
  const bool was_hidden = !board_->isVisible();
  // The window manager drops the state of a withdrawn window; give it again before mapping,
  // and ask once more after: a manager still busy with the last hide may drop it again.
  if (was_hidden) x11::SetAlwaysOnTop(BoardWindowId(), false, topmost_);
  board_->show();
  if (was_hidden && topmost_) x11::SetAlwaysOnTop(BoardWindowId(), true, true);
  board_->raise();
  board_->activateWindow();
  x11::Flush();
}

void QtBackend::HideBoard() {
  Settle();
  board_->hide();
  x11::Flush();
}

void QtBackend::SetBoardTopmost(bool topmost) {
  topmost_ = topmost;
  // Not through QWindow::setFlags: Qt's X11 window re-creates its X window at the next show
  // once the stays-on-top flag has changed, which would lose the board's child windows and
  // its identity. The state goes straight to the window manager instead, and the widget
  // keeps its copy of the flags in step.
  Qt::WindowFlags flags = board_->windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
  board_->overrideWindowFlags(flags);
  x11::SetAlwaysOnTop(BoardWindowId(), board_->isVisible(), topmost);
  x11::Flush();
}

void QtBackend::SetTaskbarEntryVisible(bool) {
  // On X11 the board itself carries the taskbar entry: a hidden board has none.
}

void QtBackend::SetTitle(std::string_view utf8) { board_->setWindowTitle(FromUtf8(utf8)); }

// ---- Screen ----

int QtBackend::ScreenWidth() {
  auto* screen = PrimaryScreen();
  return screen ? screen->geometry().width() : 0;
}

int QtBackend::ScreenHeight() {
  auto* screen = PrimaryScreen();
  return screen ? screen->geometry().height() : 0;
}

namespace {

// True when most of a box's area no longer shows what it showed with the box there: a little
// change (a cursor blinking beside it) is not the box going.
bool LooksGone(const x11::ScreenPixels& before, const x11::ScreenPixels& now) {
  if (before.width != now.width || before.height != now.height) return true;
  std::size_t changed = 0;
  for (std::size_t i = 0; i < now.pixels.size(); ++i) changed += before.pixels[i] != now.pixels[i];
  return changed * 4 >= now.pixels.size();
}

}  // namespace

bool QtBackend::WaitUntilBoxesHaveGone(const QRect& photographed) {
  using Clock = std::chrono::steady_clock;
  const auto now = Clock::now();
  std::erase_if(closed_boxes_, [&](const ClosedBox& box) {
    return now - box.closed > std::chrono::seconds(5) || !box.area.intersects(photographed);
  });
  if (closed_boxes_.empty()) return true;
  const auto boxes = std::move(closed_boxes_);
  closed_boxes_.clear();
  // First the window manager lets go of each box, taking its frame away with it.
  const auto frames_deadline = now + std::chrono::seconds(2);
  while (Clock::now() < frames_deadline) {
    const auto managed = x11::ManagedWindows();
    if (!managed) break;
    const bool lingering = std::any_of(boxes.begin(), boxes.end(), [&](const ClosedBox& box) {
      return std::find(managed->begin(), managed->end(), box.window) != managed->end();
    });
    if (!lingering) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Then the screen: within a bound, so a busy screen cannot hold the game up. A compositing
  // manager takes a box off the screen in its own time, perhaps fading it over several frames.
  const auto deadline = Clock::now() + std::chrono::milliseconds(1500);
  const bool compositing = x11::CompositingManagerRunning();
  for (const auto& box : boxes) {
    if (!box.last_look) continue;
    while (Clock::now() < deadline) {
      const auto look = x11::ReadRoot(box.area.x(), box.area.y(), box.area.width(), box.area.height());
      if (!look) return false;
      if (LooksGone(*box.last_look, *look)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // What lay beneath repaints when it gets round to it: wait until where the boxes were stays
  // the same for a while, longer than a frame where a compositing manager draws. Only that
  // part can still change; reading it alone keeps the looks short.
  QRect area;
  for (const auto& box : boxes) area |= box.area;
  area &= photographed;
  const auto steady_for = std::chrono::milliseconds(compositing ? 50 : 10);
  auto look = [&] { return x11::ReadRoot(area.x(), area.y(), area.width(), area.height()); };
  auto before = look();
  if (!before) return false;
  auto steady_since = Clock::now();
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto again = look();
    if (!again) return false;
    if (!SamePixels(*before, *again)) steady_since = Clock::now();
    else if (Clock::now() - steady_since >= steady_for) break;
    before = std::move(again);
  }
  return true;
}

std::shared_ptr<Picture> QtBackend::Photograph(int width, int height) {
  Settle();
  auto* screen = PrimaryScreen();
  if (screen == nullptr || !x11::Available() || width <= 0 || height <= 0) return nullptr;
  ProcessPendingMessages();
  x11::Sync();
  // The game's sizes are in the screen's logical pixels; the picture has the device pixels
  // behind them, so it shows one to one under a scale factor.
  const qreal ratio = screen->devicePixelRatio();
  const QPoint origin = screen->geometry().topLeft();  // Qt keeps a screen's origin unscaled
  const int device_width = static_cast<int>(std::lround(width * ratio));
  const int device_height = static_cast<int>(std::lround(height * ratio));
  if (!WaitUntilBoxesHaveGone(QRect(origin, QSize(device_width, device_height)))) return nullptr;
  // Where the server can scale it, the photograph stays there: no pixel comes to the program.
  if (context_.format && x11::ServerPicture::CanScale()) {
    if (auto server = x11::ServerPicture::FromRoot(*context_.format, origin.x(), origin.y(),
                                                   device_width, device_height)) {
      auto photograph = std::make_shared<ServerPhotograph>();
      photograph->width = device_width;
      photograph->height = device_height;
      photograph->server = std::move(server);
      return photograph;
    }
  }
  auto pixels = x11::ReadRoot(origin.x(), origin.y(), device_width, device_height);
  if (!pixels) return nullptr;
  auto picture = std::make_shared<Picture>();
  picture->width = pixels->width;
  picture->height = pixels->height;
  picture->pixels = std::move(pixels->pixels);
  return picture;
}

// ---- System ----

std::uint32_t QtBackend::TickCount() { return MillisecondsSinceBoot(); }

std::uint32_t QtBackend::ProcessorType() { return ProcessorClass(); }

std::vector<std::string> QtBackend::Arguments() {
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
  return arguments;
}

bool QtBackend::AcquireInstanceGuard(std::string_view name) {
  return guard_.Acquire(InstanceGuard::DefaultFolder(), name);
}

void QtBackend::ReleaseInstanceGuard() { guard_.Release(); }

RegistryStore& QtBackend::Registry() {
  if (!registry_) registry_ = std::make_unique<RegistryFile>(DefaultRegistryFilePath());
  return *registry_;
}

// ---- Session ----

void QtBackend::OnCommitDataRequest(QSessionManager& manager) {
  auto* sink = Sink();
  // Without leave to ask, the board cannot put its question, and the session ends.
  if (sink == nullptr || !manager.allowsInteraction()) return;
  bool agreed = false;
  {
    Dispatch dispatch(context_);
    agreed = sink->EndSessionQuery();
  }
  manager.release();
  if (!agreed) manager.cancel();
}

}  // namespace platform::qt
