// The simulated platform: a virtual clock drives timers and scripted input; boxes are
// answered from the script.
#include "platform/sim/SimBackend.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace platform::sim {

// --- Registry ---------------------------------------------------------------------------

std::string SimRegistry::Normalise(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  std::string result;
  for (char c : path) result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

class SimKey final : public RegistryKey {
 public:
  SimKey(SimRegistry& registry, std::string path) : registry_(registry), path_(std::move(path)) {}
  std::optional<RegistryValue> Read(std::string_view name) override {
    for (const auto& [value_name, value] : registry_.keys_[path_])
      if (value_name == name) return value;
    return std::nullopt;
  }
  bool WriteDword(std::string_view name, std::uint32_t value) override {
    if (!registry_.failing_value.empty() && name == registry_.failing_value) return false;
    RegistryValue dword{reg::kDword,
                        {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                         static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
    auto& values = registry_.keys_[path_];
    for (auto& [value_name, stored] : values) {
      if (value_name == name) {
        stored = dword;
        return true;
      }
    }
    values.emplace_back(std::string(name), dword);
    return true;
  }
  bool Commit() override {
    ++registry_.commits;
    return true;
  }

 private:
  SimRegistry& registry_;
  std::string path_;
};

std::unique_ptr<RegistryKey> SimRegistry::OpenKey(std::uint32_t root, std::string_view path, bool create) {
  const auto key = Normalise(path);
  if (root != reg::kHkeyCurrentUser || refused_keys.count(key) != 0) return nullptr;
  if (keys_.count(key) == 0) {
    if (!create) return nullptr;
    keys_[key];
  }
  return std::make_unique<SimKey>(*this, key);
}

void SimRegistry::SetDword(std::string_view path, std::string_view name, std::int32_t value) {
  SimKey(*this, Normalise(path)).WriteDword(name, static_cast<std::uint32_t>(value));
}

void SimRegistry::SetString(std::string_view path, std::string_view name, std::string_view value) {
  RemoveValue(path, name);
  RegistryValue text{reg::kSz, {}};
  for (char c : value) text.data.push_back(static_cast<std::uint8_t>(c));
  text.data.push_back(0);
  keys_[Normalise(path)].emplace_back(std::string(name), text);
}

void SimRegistry::RemoveValue(std::string_view path, std::string_view name) {
  auto& values = keys_[Normalise(path)];
  values.erase(std::remove_if(values.begin(), values.end(), [&](const auto& entry) { return entry.first == name; }),
               values.end());
}

bool SimRegistry::HasKey(std::string_view path) const { return keys_.count(Normalise(path)) != 0; }

std::optional<RegistryValue> SimRegistry::Value(std::string_view path, std::string_view name) const {
  const auto key = keys_.find(Normalise(path));
  if (key == keys_.end()) return std::nullopt;
  for (const auto& [value_name, value] : key->second)
    if (value_name == name) return value;
  return std::nullopt;
}

std::optional<std::int32_t> SimRegistry::Dword(std::string_view path, std::string_view name) const {
  const auto value = Value(path, name);
  if (!value || value->type != reg::kDword || value->data.size() != 4) return std::nullopt;
  const auto& d = value->data;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
                                   static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24);
}

std::size_t SimRegistry::ValueCount(std::string_view path) const {
  const auto key = keys_.find(Normalise(path));
  return key == keys_.end() ? 0 : key->second.size();
}

// --- Backend ----------------------------------------------------------------------------

SimBackend::SimBackend() { peers_.reserve(32); }

void SimBackend::Log(std::string entry) {
  if (logging) log.push_back(std::move(entry));
}

std::vector<std::string> SimBackend::LogWith(std::string_view prefix) const {
  std::vector<std::string> result;
  for (const auto& entry : log)
    if (entry.compare(0, prefix.size(), prefix) == 0) result.push_back(entry);
  return result;
}

void SimBackend::At(std::uint64_t time_ms, std::function<void()> action) {
  scheduled_.push_back({time_ms, schedule_order_++, std::move(action)});
}

bool SimBackend::Step(std::uint64_t limit, bool with_input) {
  std::uint64_t best = UINT64_MAX;
  int timer_id = -1;
  for (const auto& [id, timer] : timers_) {
    if (timer.active && timer.due < best) {
      best = timer.due;
      timer_id = id;
    }
  }
  auto scheduled = scheduled_.end();
  if (with_input) {
    for (auto it = scheduled_.begin(); it != scheduled_.end(); ++it) {
      // An action due no later than the next tick goes first.
      if (it->time <= best && (scheduled == scheduled_.end() || it->time < scheduled->time ||
                               (it->time == scheduled->time && it->order < scheduled->order)))
        scheduled = it;
    }
  }
  if (scheduled != scheduled_.end()) {
    if (scheduled->time > limit) return false;
    now_ms_ = std::max(now_ms_, scheduled->time);
    auto action = std::move(scheduled->action);
    scheduled_.erase(scheduled);
    action();
    return true;
  }
  if (timer_id < 0 || best > limit) return false;
  auto& timer = timers_[timer_id];
  now_ms_ = std::max(now_ms_, best);
  timer.due = now_ms_ + timer.interval;
  if (auto* sink = Sink()) sink->TimerTick(timer_id);
  return true;
}

void SimBackend::RunUntil(std::uint64_t time_ms) {
  quit_ = false;
  while (!quit_ && Step(time_ms, true)) {
  }
  if (!quit_) now_ms_ = std::max(now_ms_, time_ms);
}

void SimBackend::RunMessageLoop() {
  loop_running = true;
  quit_ = false;
  while (!quit_) {
    if (!Step(run_limit_ms, true)) {
      loop_gave_up = true;
      break;
    }
  }
  loop_running = false;
}

void SimBackend::QuitMessageLoop() {
  quit_ = true;
  Log("quit");
}

void SimBackend::ProcessPendingMessages() {
  Log("process messages");
  // Timers that came due deliver one tick each, as a real queue holds one per timer.
  const auto limit = now_ms_;
  while (Step(limit, modal_depth == 0)) {
  }
}

void SimBackend::Sleep(std::uint32_t milliseconds) {
  Log("sleep " + std::to_string(milliseconds));
  now_ms_ += milliseconds;
}

int SimBackend::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
  ShownBox shown{std::string(text), std::string(caption), flags, mb::kIdOk, true, now_ms_};
  Log("box " + shown.caption + ": " + shown.text);
  ExpectedBox expected;
  if (!expected_boxes_.empty() && expected_boxes_.front().text == text && expected_boxes_.front().caption == caption &&
      expected_boxes_.front().flags == flags) {
    expected = std::move(expected_boxes_.front());
    expected_boxes_.pop_front();
    shown.answer = expected.answer;
  } else {
    shown.expected = false;
    shown.answer = (flags & 0x0F) == mb::kYesNo ? mb::kIdNo : mb::kIdOk;
  }
  boxes_.push_back(shown);
  if (!shown.expected && on_unexpected_box) on_unexpected_box(shown);
  ++modal_depth;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{modal_depth};
  if (expected.while_open) expected.while_open();
  // The box's own loop delivers timer ticks, never input.
  const auto end = now_ms_ + expected.pass_ms;
  while (Step(end, false)) {
  }
  now_ms_ = std::max(now_ms_, end);
  Log("box closed");
  return shown.answer;
}

void SimBackend::SetTimer(int timer, std::uint32_t interval_ms, bool enabled) {
  auto& state = timers_[timer];
  const bool active = enabled && interval_ms != 0;
  Log("timer " + std::to_string(timer) + " " + std::to_string(interval_ms) + (active ? " on" : " off"));
  state.active = active;
  state.interval = interval_ms;
  state.due = now_ms_ + interval_ms;
}

void SimBackend::CreatePeer(Handle control, PeerKind kind, Handle parent, std::string_view name) {
  if (control != peers_.size()) throw std::logic_error("peers must be numbered in order");
  CheckPeerCreation(name);
  PeerState peer;
  peer.kind = kind;
  peer.parent = parent;
  peer.name = std::string(name);
  peers_.push_back(std::move(peer));
}

void SimBackend::SetPeerBounds(Handle control, Rect bounds) {
  auto& peer = peers_.at(control);
  peer.bounds = bounds;
  if (logging)
    Log("bounds " + peer.name + " " + std::to_string(bounds.left) + "," + std::to_string(bounds.top) + "," +
        std::to_string(bounds.width) + "," + std::to_string(bounds.height));
}

void SimBackend::SetPeerVisible(Handle control, bool visible) {
  auto& peer = peers_.at(control);
  if (peer.visible != visible) Log((visible ? "show " : "hide ") + peer.name);
  peer.visible = visible;
}

void SimBackend::SetPeerColor(Handle control, std::uint32_t color) { peers_.at(control).color = color; }
void SimBackend::SetPeerBevel(Handle control, bool raised) { peers_.at(control).bevel_raised = raised; }

void SimBackend::SetPeerText(Handle control, std::string_view utf8, bool centered) {
  auto& peer = peers_.at(control);
  peer.text = std::string(utf8);
  peer.centered = centered;
}

void SimBackend::SetPeerFont(Handle control, const Font& font) { peers_.at(control).font = font; }

void SimBackend::SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) {
  peers_.at(control).picture = std::move(picture);
}

void SimBackend::ShowBoard() {
  board_shown = true;
  if (!peers_.empty()) peers_[kBoardHandle].visible = true;
  Log("board show");
}

void SimBackend::HideBoard() {
  board_shown = false;
  if (!peers_.empty()) peers_[kBoardHandle].visible = false;
  Log("board hide");
}

void SimBackend::SetBoardTopmost(bool on) {
  topmost = on;
  Log(on ? "topmost on" : "topmost off");
}

void SimBackend::SetTaskbarEntryVisible(bool visible) {
  taskbar_entry = visible;
  Log(visible ? "taskbar show" : "taskbar hide");
}

void SimBackend::SetTitle(std::string_view utf8) {
  title = std::string(utf8);
  Log("title " + title);
}

void SimBackend::CheckPeerCreation(std::string_view name) {
  if (!failing_peer.empty() && name == failing_peer) throw std::runtime_error("Cannot create window " + failing_peer);
}

std::uint32_t SimBackend::DesktopPixel(int x, int y) {
  return static_cast<std::uint32_t>(((x * 5) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | ((x ^ y) & 0xFF));
}

std::shared_ptr<Picture> SimBackend::Photograph(int width, int height) {
  Log("photograph " + std::to_string(width) + "x" + std::to_string(height) + (board_shown ? " board shown" : ""));
  if (photograph_fails || width < 0 || height < 0) return nullptr;
  ++photographs;
  auto picture = std::make_shared<Picture>();
  picture->width = width;
  picture->height = height;
  picture->pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
          x < screen_width && y < screen_height ? DesktopPixel(x, y) : 0;
  return picture;
}

std::uint32_t SimBackend::TickCount() {
  if (!tick_counts.empty()) {
    const auto value = tick_counts.front();
    tick_counts.pop_front();
    return value;
  }
  return boot_offset_ms + static_cast<std::uint32_t>(now_ms_);
}

bool SimBackend::AcquireInstanceGuard(std::string_view name) {
  Log("guard acquire " + std::string(name));
  if (!guards->insert(std::string(name)).second) return false;
  guard_name_ = std::string(name);
  guard_held = true;
  return true;
}

void SimBackend::ReleaseInstanceGuard() {
  Log("guard release");
  guards->erase(guard_name_);
  guard_held = false;
}

// --- Input ------------------------------------------------------------------------------

std::optional<Handle> SimBackend::Find(std::string_view name) const {
  for (Handle i = 0; i < peers_.size(); ++i)
    if (peers_[i].name == name) return i;
  return std::nullopt;
}

const PeerState& SimBackend::Peer(std::string_view name) const {
  const auto handle = Find(name);
  if (!handle) throw std::out_of_range("no control named " + std::string(name));
  return peers_[*handle];
}

std::string SimBackend::ParentName(std::string_view name) const {
  return peers_.at(Peer(name).parent).name;
}

bool SimBackend::Reachable(Handle handle) const {
  if (!board_shown || peers_.empty()) return false;
  for (Handle current = handle; current != kBoardHandle; current = peers_[current].parent)
    if (!peers_[current].visible) return false;
  return true;
}

bool SimBackend::PeerShown(std::string_view name) const {
  const auto handle = Find(name);
  return handle && Reachable(*handle);
}

bool SimBackend::Press(std::string_view name, MouseButton button) {
  const auto handle = Find(name);
  if (!handle || modal_depth > 0 || !Reachable(*handle) || Sink() == nullptr) return false;
  Log("press " + std::string(name));
  Sink()->MouseDown(*handle, button, 1, 1);
  return true;
}

bool SimBackend::Click(std::string_view name) {
  const auto handle = Find(name);
  if (!handle || modal_depth > 0 || !Reachable(*handle) || Sink() == nullptr) return false;
  Log("click " + std::string(name));
  Sink()->Click(*handle);
  return true;
}

bool SimBackend::MouseMoveOver(std::string_view name) {
  const auto handle = Find(name);
  if (!handle || modal_depth > 0 || !Reachable(*handle) || Sink() == nullptr) return false;
  Sink()->MouseMove(*handle, 1, 1);
  return true;
}

bool SimBackend::DoubleClickBoard() {
  if (modal_depth > 0 || !Reachable(kBoardHandle) || Sink() == nullptr) return false;
  Log("double-click board");
  Sink()->DoubleClick(kBoardHandle);
  return true;
}

bool SimBackend::CloseRequest() {
  if (modal_depth > 0 || Sink() == nullptr) return false;
  Log("close request");
  Sink()->CloseRequest();
  return true;
}

bool SimBackend::EndSession() {
  if (Sink() == nullptr) return true;
  Log("end of session");
  return Sink()->EndSessionQuery();
}

}  // namespace platform::sim
