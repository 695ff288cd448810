// Watches the running game from outside for bench/run.sh: when the board shows its photograph, and how long its ticks keep the main thread busy.
//
//   probe startup PID BOX BOARD IMAGE PANEL TIMEOUT_MS
//     From now (the start-up box about to be answered) until the eight intro steps are done:
//     prints the wall clock (ns) when BOX left the screen and when BOARD was viewable with
//     IMAGE (whose background is the photograph) viewable in it, then one line per intro tick (PANEL is unmapped and
//     mapped again on every step) with its span in wall time and the main thread's CPU time.
//   probe bursts PID DURATION_MS
//     Samples the main thread's CPU time for DURATION_MS and prints each burst of work
//     (a run of activity with no pause of 4 ms or more): its wall span and CPU time.
//
// The main thread's CPU time comes from /proc/PID/task/PID/schedstat (nanoseconds), read
// every half millisecond; the windows' states from the X server, asked every 2 ms, and the
// panel's map events. Nothing here asserts a figure: the script only reports what it prints.
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kSampleNs = 500'000;  // how often the thread and the windows are looked at
constexpr std::int64_t kGapNs = 4'000'000;   // a pause this long ends a burst

std::int64_t Now(clockid_t clock = CLOCK_MONOTONIC) {
  timespec now{};
  clock_gettime(clock, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// The offset that turns a monotonic time into wall-clock time, for the script's own clock.
std::int64_t WallOffset() { return Now(CLOCK_REALTIME) - Now(); }

void SleepUntil(std::int64_t monotonic_ns) {
  const timespec until{static_cast<time_t>(monotonic_ns / 1'000'000'000),
                       static_cast<long>(monotonic_ns % 1'000'000'000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

// CPU time of the process's main thread so far, in ns; nothing once it has gone.
class ThreadClock {
 public:
  explicit ThreadClock(long pid) : path_("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat") {}
  std::optional<std::int64_t> Read() const {
    FILE* file = std::fopen(path_.c_str(), "r");
    if (file == nullptr) return std::nullopt;
    long long ns = 0;
    const int got = std::fscanf(file, "%lld", &ns);
    std::fclose(file);
    if (got != 1) return std::nullopt;
    return ns;
  }

 private:
  std::string path_;
};

struct Burst {
  std::int64_t start = 0;  // monotonic ns of the sample before the first rise
  std::int64_t end = 0;    // monotonic ns of the sample with the last rise
  std::int64_t cpu = 0;
};

// Splits the thread's activity into bursts, one sample at a time.
class BurstTracker {
 public:
  void Add(std::int64_t at, std::int64_t cpu) {
    if (last_cpu_ && cpu > *last_cpu_) {
      if (bursts_.empty() || at - bursts_.back().end > kGapNs + kSampleNs) bursts_.push_back({last_at_, at, 0});
      bursts_.back().end = at;
      bursts_.back().cpu += cpu - *last_cpu_;
    }
    last_cpu_ = cpu;
    last_at_ = at;
  }
  const std::vector<Burst>& Bursts() const { return bursts_; }

 private:
  std::optional<std::int64_t> last_cpu_;
  std::int64_t last_at_ = 0;
  std::vector<Burst> bursts_;
};

struct Reply {
  void* data;
  explicit Reply(void* reply) : data(reply) {}
  ~Reply() { std::free(data); }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
};

bool Viewable(xcb_connection_t* connection, xcb_window_t window) {
  auto* reply = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
  Reply hold(reply);
  return reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

xcb_window_t WindowArgument(const char* text) { return static_cast<xcb_window_t>(std::strtoul(text, nullptr, 0)); }

int Startup(long pid, xcb_window_t box, xcb_window_t board, xcb_window_t image, xcb_window_t panel, std::int64_t timeout_ms) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "probe: cannot open the display\n");
    return 2;
  }
  // Another client may listen to a window's own map and unmap: the panel's steps arrive as events.
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, panel, XCB_CW_EVENT_MASK, &mask);
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  // The script answers the box only once this is on its way.
  std::printf("ready\n");
  std::fflush(stdout);
  const ThreadClock clock(pid);
  const std::int64_t offset = WallOffset();
  const std::int64_t deadline = Now() + timeout_ms * 1'000'000;
  std::int64_t box_gone = 0, shown = 0, last_map = 0, samples = 0;
  std::vector<std::int64_t> unmaps, maps;
  BurstTracker tracker;
  std::int64_t next = Now();
  while (Now() < deadline) {
    const std::int64_t at = Now();
    const auto cpu = clock.Read();
    if (!cpu) break;
    tracker.Add(at, *cpu);
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      const int type = event->response_type & 0x7F;
      if (shown != 0 && type == XCB_UNMAP_NOTIFY && reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == panel)
        unmaps.push_back(at);
      if (shown != 0 && type == XCB_MAP_NOTIFY && reinterpret_cast<xcb_map_notify_event_t*>(event)->window == panel) {
        maps.push_back(at);
        last_map = at;
      }
      std::free(event);
    }
    // The windows' states every 2 ms: asking more often would only load the busy server.
    if (++samples % 4 == 0) {
      if (box_gone == 0 && !Viewable(connection, box)) box_gone = at;
      if (shown == 0 && Viewable(connection, board) && Viewable(connection, image)) shown = at;
    }
    // The last step's burst is over well before the split's box has been made.
    if (maps.size() >= 8 && at - last_map > 50'000'000) break;
    next += kSampleNs;
    SleepUntil(std::max(next, Now()));
  }
  xcb_disconnect(connection);
  std::printf("box_gone_ns %" PRId64 "\n", box_gone ? box_gone + offset : 0);
  std::printf("shown_ns %" PRId64 "\n", shown ? shown + offset : 0);
  // A step runs from the burst that was under way when the panel was unmapped (the first
  // request it sends out, after its first scaling) to the panel's map coming back; never
  // from before the previous step's end.
  const auto& bursts = tracker.Bursts();
  // The raw material, relative to the board being shown, for anyone checking the spans.
  for (const Burst& burst : bursts)
    std::printf("burst at_us %" PRId64 " wall_us %" PRId64 " cpu_us %" PRId64 "\n", (burst.start - shown) / 1000,
                (burst.end - burst.start) / 1000, burst.cpu / 1000);
  for (const std::int64_t unmap : unmaps) std::printf("panel_unmapped at_us %" PRId64 "\n", (unmap - shown) / 1000);
  for (const std::int64_t map : maps) std::printf("panel_mapped at_us %" PRId64 "\n", (map - shown) / 1000);
  std::int64_t previous_end = shown;
  for (std::size_t i = 0; i < maps.size(); ++i) {
    const std::int64_t unmap = i < unmaps.size() ? unmaps[i] : maps[i];
    std::int64_t start = previous_end;
    for (const Burst& burst : bursts)
      if (burst.start <= unmap) start = std::max(previous_end, burst.start);
    std::int64_t cpu = 0;
    for (const Burst& burst : bursts) {
      const std::int64_t from = std::max(burst.start, start), to = std::min(burst.end, maps[i]);
      if (to > from && burst.end > burst.start) cpu += burst.cpu * (to - from) / (burst.end - burst.start);
    }
    std::printf("intro_tick %zu wall_us %" PRId64 " cpu_us %" PRId64 "\n", i + 1, (maps[i] - start) / 1000, cpu / 1000);
    previous_end = maps[i];
  }
  return shown != 0 ? 0 : 1;
}

int Bursts(long pid, std::int64_t duration_ms) {
  const ThreadClock clock(pid);
  BurstTracker tracker;
  const std::int64_t end = Now() + duration_ms * 1'000'000;
  for (std::int64_t next = Now(); Now() < end;) {
    const auto cpu = clock.Read();
    if (!cpu) return 1;
    tracker.Add(Now(), *cpu);
    next += kSampleNs;
    SleepUntil(std::max(next, Now()));
  }
  for (const Burst& burst : tracker.Bursts())
    std::printf("burst wall_us %" PRId64 " cpu_us %" PRId64 "\n", (burst.end - burst.start) / 1000, burst.cpu / 1000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "startup" && argc == 8)
    return Startup(std::atol(argv[2]), WindowArgument(argv[3]), WindowArgument(argv[4]), WindowArgument(argv[5]),
                   WindowArgument(argv[6]), std::atoll(argv[7]));
  if (command == "bursts" && argc == 4) return Bursts(std::atol(argv[2]), std::atoll(argv[3]));
  std::fprintf(stderr,
               "usage: probe startup PID BOX BOARD IMAGE PANEL TIMEOUT_MS\n"
               "       probe bursts PID DURATION_MS\n");
  return 2;
}
