// X11 requests made through Qt's own xcb connection, so they are ordered with Qt's requests.
#include "platform/qt/X11.h"

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace platform::qt::x11 {

namespace {

xcb_connection_t* Connection() {
  auto* app = qGuiApp;
  if (app == nullptr) return nullptr;
  auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
  return native ? native->connection() : nullptr;
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_screen_t* DefaultScreen(xcb_connection_t* connection) {
  char* host = nullptr;
  int display = 0, number = 0;
  if (xcb_parse_display(nullptr, &host, &display, &number) == 0) number = 0;
  std::free(host);
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i)
    if (i == number) return it.data;
  return xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
}

// Asked of the server once per name and connection.
xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  static xcb_connection_t* asked = nullptr;
  static std::vector<std::pair<std::string, xcb_atom_t>> known;
  if (asked != connection) {
    asked = connection;
    known.clear();
  }
  for (const auto& [known_name, atom] : known)
    if (known_name == name) return atom;
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr));
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  if (atom != XCB_ATOM_NONE) known.emplace_back(name, atom);
  return atom;
}

const xcb_visualtype_t* FindVisual(const xcb_screen_t* screen, xcb_visualid_t id) {
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == id) return visuals.data;
    }
  }
  return nullptr;
}

// Scales one channel given by mask to 8 bits.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const std::uint32_t max = mask >> shift;
  const std::uint32_t value = (pixel & mask) >> shift;
  return max == 255 ? value : (value * 255u + max / 2) / max;
}

}  // namespace

bool Available() { return Connection() != nullptr; }

void Flush() {
  if (auto* connection = Connection()) xcb_flush(connection);
}

void Sync() {
  auto* connection = Connection();
  if (connection == nullptr) return;
  // Any request with a reply is a round trip: when the reply is here, all before it is done.
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void SetWindowName(std::uint32_t window, std::string_view utf8) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return;
  const auto length = static_cast<std::uint32_t>(utf8.size());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                      XCB_ATOM_STRING, 8, length, utf8.data());
  const xcb_atom_t net_name = Atom(connection, "_NET_WM_NAME");
  const xcb_atom_t utf8_string = Atom(connection, "UTF8_STRING");
  if (net_name != XCB_ATOM_NONE && utf8_string != XCB_ATOM_NONE)
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, net_name, utf8_string, 8,
                        length, utf8.data());
}

void SetAlwaysOnTop(std::uint32_t window, bool mapped, bool on_top) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return;
  const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
  const xcb_atom_t above = Atom(connection, "_NET_WM_STATE_ABOVE");
  // The older name some window managers still read.
  const xcb_atom_t stays_on_top = Atom(connection, "_NET_WM_STATE_STAYS_ON_TOP");
  if (state == XCB_ATOM_NONE || above == XCB_ATOM_NONE) return;
  if (mapped) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = state;
    event.data.data32[0] = on_top ? 1u : 0u;  // _NET_WM_STATE_ADD or _REMOVE
    event.data.data32[1] = above;
    event.data.data32[2] = stays_on_top;
    event.data.data32[3] = 1;  // from an application
    xcb_send_event(connection, 0, DefaultScreen(connection)->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    return;
  }
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
  std::vector<xcb_atom_t> atoms;
  if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
    const auto* first = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    atoms.assign(first, first + xcb_get_property_value_length(reply.get()) / 4);
  }
  std::erase_if(atoms, [&](xcb_atom_t atom) { return atom == above || atom == stays_on_top; });
  if (on_top) {
    atoms.push_back(above);
    if (stays_on_top != XCB_ATOM_NONE) atoms.push_back(stays_on_top);
  }
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                      static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

bool CompositingManagerRunning() {
  auto* connection = Connection();
  if (connection == nullptr) return false;
  char* host = nullptr;
  int display = 0, number = 0;
  if (xcb_parse_display(nullptr, &host, &display, &number) == 0) number = 0;
  std::free(host);
  const std::string name = "_NET_WM_CM_S" + std::to_string(number);
  const xcb_atom_t selection = Atom(connection, name.c_str());
  if (selection == XCB_ATOM_NONE) return false;
  Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr));
  return reply && reply->owner != XCB_NONE;
}

std::optional<std::vector<std::uint32_t>> ManagedWindows() {
  auto* connection = Connection();
  if (connection == nullptr) return std::nullopt;
  const xcb_atom_t list = Atom(connection, "_NET_CLIENT_LIST");
  if (list == XCB_ATOM_NONE) return std::nullopt;
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, DefaultScreen(connection)->root, list, XCB_ATOM_WINDOW, 0,
                       1u << 16),
      nullptr));
  if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32) return std::nullopt;
  const auto* first = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  return std::vector<std::uint32_t>(first, first + count);
}

namespace {

// One axis of the server's scaling transform (16.16 fixed point).
struct NearestStep {
  std::int32_t scale;
  std::int32_t offset;
};

// The server samples target pixel x at its centre: v = scale * (x + 1/2) + offset, rounded to
// 1/65536, and takes source pixel floor(v - 1/65536). The CPU copy takes floor(x * source /
// target). With offset = b + 1/65536 - scale / 2 (rounded as the server rounds) the server
// takes floor((scale * x + b) / 65536). Each x allows an interval of b; the scale near the
// ratio and the b inside the most intervals give the CPU's pixels exactly where 16.16 can, and
// otherwise differ in the fewest rows or columns.
NearestStep StepFor(int source, int target) {
  const std::int64_t ratio_up = (std::int64_t{source} * 65536 + target - 1) / target;
  NearestStep best{static_cast<std::int32_t>(ratio_up), 2 - static_cast<std::int32_t>((ratio_up + 1) / 2)};
  // Usually some scale near the ratio leaves a b that every x allows: one pass each.
  for (const std::int64_t scale : {ratio_up, ratio_up - 1, ratio_up + 1, ratio_up - 2}) {
    if (scale <= 0 || scale > 0x7FFFFFFF) continue;
    std::int64_t low = INT64_MIN, high = INT64_MAX;
    for (int x = 0; x < target && low < high; ++x) {
      const std::int64_t pixel = std::int64_t{x} * source / target;
      low = std::max(low, pixel * 65536 - scale * x);
      high = std::min(high, (pixel + 1) * 65536 - scale * x);
    }
    const std::int64_t offset = low + (high - low - 1) / 2 + 1 - (scale + 1) / 2;
    if (low < high && offset >= INT32_MIN && offset <= INT32_MAX)
      return {static_cast<std::int32_t>(scale), static_cast<std::int32_t>(offset)};
  }
  // Otherwise the b inside the most intervals.
  int best_count = -1;
  std::vector<std::pair<std::int64_t, int>> events(static_cast<std::size_t>(target) * 2);
  for (std::int64_t scale = ratio_up - 2; scale <= ratio_up + 1; ++scale) {
    if (scale <= 0 || scale > 0x7FFFFFFF) continue;
    for (int x = 0; x < target; ++x) {
      const std::int64_t pixel = std::int64_t{x} * source / target;
      // pixel * 65536 <= scale * x + b < (pixel + 1) * 65536; ends sort before starts.
      events[static_cast<std::size_t>(x) * 2] = {pixel * 65536 - scale * x, 1};
      events[static_cast<std::size_t>(x) * 2 + 1] = {(pixel + 1) * 65536 - scale * x, -1};
    }
    std::sort(events.begin(), events.end());
    int count = 0;
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
      count += events[i].second;
      if (count <= best_count || events[i + 1].first == events[i].first) continue;
      best_count = count;
      const std::int64_t b = events[i].first + (events[i + 1].first - events[i].first - 1) / 2;
      const std::int64_t offset = b + 1 - (scale + 1) / 2;
      if (offset < INT32_MIN || offset > INT32_MAX) continue;
      best = {static_cast<std::int32_t>(scale), static_cast<std::int32_t>(offset)};
    }
    if (best_count == target) break;
  }
  return best;
}

// The RENDER picture format of each visual, asked once per connection: nothing when the server
// lacks RENDER 0.6 (transforms and filters). Later calls make no round trip.
const std::vector<std::pair<std::uint32_t, xcb_render_pictformat_t>>* RenderFormats(
    xcb_connection_t* connection) {
  static xcb_connection_t* asked = nullptr;
  static bool usable = false;
  static std::vector<std::pair<std::uint32_t, xcb_render_pictformat_t>> formats;
  if (asked == connection) return usable ? &formats : nullptr;
  asked = connection;
  usable = false;
  formats.clear();
  const auto* extension = xcb_get_extension_data(connection, &xcb_render_id);
  if (extension == nullptr || !extension->present) return nullptr;
  Reply<xcb_render_query_version_reply_t> version(xcb_render_query_version_reply(
      connection, xcb_render_query_version(connection, 0, 11), nullptr));
  if (!version || (version->major_version == 0 && version->minor_version < 6)) return nullptr;
  Reply<xcb_render_query_pict_formats_reply_t> reply(xcb_render_query_pict_formats_reply(
      connection, xcb_render_query_pict_formats(connection), nullptr));
  if (!reply) return nullptr;
  for (auto screens = xcb_render_query_pict_formats_screens_iterator(reply.get()); screens.rem > 0;
       xcb_render_pictscreen_next(&screens))
    for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem > 0;
         xcb_render_pictdepth_next(&depths))
      for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem > 0;
           xcb_render_pictvisual_next(&visuals))
        formats.emplace_back(visuals.data->visual, visuals.data->format);
  usable = true;
  return &formats;
}

xcb_render_pictformat_t RenderFormat(xcb_connection_t* connection, std::uint32_t visual_id) {
  if (const auto* formats = RenderFormats(connection))
    for (const auto& [visual, format] : *formats)
      if (visual == visual_id) return format;
  return 0;
}

}  // namespace

bool ServerPicture::CanScale() {
  auto* connection = Connection();
  return connection != nullptr && RenderFormats(connection) != nullptr;
}

std::unique_ptr<ServerPicture> ServerPicture::ScaledFrom(const ServerPicture& source, int width,
                                                         int height) {
  auto* connection = Connection();
  if (connection == nullptr || width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF)
    return nullptr;
  const xcb_render_pictformat_t format = RenderFormat(connection, source.visual_);
  if (format == 0) return nullptr;
  const xcb_pixmap_t pixmap = xcb_generate_id(connection);
  xcb_create_pixmap(connection, source.depth_, pixmap, source.pixmap_,
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
  // Samples that land past the last row or column take the edge's pixel, not transparency.
  const std::uint32_t pad = XCB_RENDER_REPEAT_PAD;
  const xcb_render_picture_t from = xcb_generate_id(connection);
  xcb_render_create_picture(connection, from, source.pixmap_, format, XCB_RENDER_CP_REPEAT, &pad);
  const xcb_render_picture_t to = xcb_generate_id(connection);
  xcb_render_create_picture(connection, to, pixmap, format, 0, nullptr);
  const NearestStep across = StepFor(source.width_, width);
  const NearestStep down = StepFor(source.height_, height);
  const xcb_render_transform_t transform{across.scale, 0, across.offset,
                                         0, down.scale, down.offset,
                                         0, 0, 65536};
  xcb_render_set_picture_transform(connection, from, transform);
  static constexpr char kNearest[] = "nearest";
  xcb_render_set_picture_filter(connection, from, sizeof kNearest - 1, kNearest, 0, nullptr);
  xcb_render_composite(connection, XCB_RENDER_PICT_OP_SRC, from, XCB_NONE, to, 0, 0, 0, 0, 0, 0,
                       static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
  // The server has what it needs once the composite is queued; the pictures can go.
  xcb_render_free_picture(connection, from);
  xcb_render_free_picture(connection, to);
  return std::unique_ptr<ServerPicture>(
      new ServerPicture(pixmap, width, height, source.depth_, source.visual_));
}

namespace {

// Scales an 8-bit channel to the bits of mask and puts it there.
std::uint32_t ToChannel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const std::uint32_t max = mask >> shift;
  return ((value * max + 127u) / 255u) << shift;
}

}  // namespace

std::uint32_t PixelFormat::PixelOf(std::uint32_t rgb) const {
  const std::uint32_t depth_bits = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1u;
  const std::uint32_t alpha = depth_bits & ~(red_mask | green_mask | blue_mask);
  return ToChannel((rgb >> 16) & 0xFFu, red_mask) | ToChannel((rgb >> 8) & 0xFFu, green_mask) |
         ToChannel(rgb & 0xFFu, blue_mask) | alpha;
}

bool PixelFormat::Plain() const {
  return bits_per_pixel == 32 && lsb_first && red_mask == 0xFF0000u && green_mask == 0xFF00u &&
         blue_mask == 0xFFu;
}

std::optional<PixelFormat> FormatOf(std::uint32_t window) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return std::nullopt;
  Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
  Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, window), nullptr));
  if (!geometry || !attributes) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  PixelFormat format;
  format.depth = geometry->depth;
  format.visual = attributes->visual;
  format.lsb_first = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
       xcb_format_next(&formats)) {
    if (formats.data->depth == geometry->depth) {
      format.bits_per_pixel = formats.data->bits_per_pixel;
      format.scanline_pad = formats.data->scanline_pad;
    }
  }
  const xcb_visualtype_t* visual = FindVisual(DefaultScreen(connection), attributes->visual);
  if (visual == nullptr || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR) return std::nullopt;
  if (format.bits_per_pixel != 16 && format.bits_per_pixel != 24 && format.bits_per_pixel != 32)
    return std::nullopt;
  format.red_mask = visual->red_mask;
  format.green_mask = visual->green_mask;
  format.blue_mask = visual->blue_mask;
  return format;
}

std::unique_ptr<ServerPicture> ServerPicture::Upload(const PixelFormat& format, std::uint32_t drawable,
                                                     const std::uint32_t* pixels, int width,
                                                     int height) {
  auto* connection = Connection();
  if (connection == nullptr || drawable == 0 || width <= 0 || height <= 0 || width > 0x7FFF ||
      height > 0x7FFF || format.bits_per_pixel == 0)
    return nullptr;
  const xcb_pixmap_t pixmap = xcb_generate_id(connection);
  xcb_create_pixmap(connection, format.depth, pixmap, drawable, static_cast<std::uint16_t>(width),
                    static_cast<std::uint16_t>(height));
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  xcb_create_gc(connection, gc, pixmap, 0, nullptr);
  const int bytes = format.bits_per_pixel / 8;
  const std::size_t pad = static_cast<std::size_t>(std::max(8, format.scanline_pad) / 8);
  const std::size_t stride = (static_cast<std::size_t>(width) * bytes + pad - 1) / pad * pad;
  // Each request must stay under the server's limit (in 4-byte units); send rows in strips.
  const std::uint64_t limit = std::uint64_t{xcb_get_maximum_request_length(connection)} * 4u;
  const int strip = static_cast<int>(std::clamp<std::uint64_t>((limit - 64) / stride, 1, 256));
  const bool plain = format.Plain();
  const std::uint32_t opaque = format.PixelOf(0);  // the alpha bits, where there are any
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < height; y += strip) {
    const int count = std::min(strip, height - y);
    rows.assign(stride * static_cast<std::size_t>(count), 0);
    for (int r = 0; r < count; ++r) {
      const std::uint32_t* from = pixels + static_cast<std::size_t>(y + r) * width;
      std::uint8_t* to = rows.data() + stride * static_cast<std::size_t>(r);
      if (plain) {
        for (int x = 0; x < width; ++x) {
          const std::uint32_t pixel = (from[x] & 0xFFFFFFu) | opaque;
          std::memcpy(to + static_cast<std::size_t>(x) * 4, &pixel, 4);
        }
        continue;
      }
      for (int x = 0; x < width; ++x, to += bytes) {
        const std::uint32_t pixel = format.PixelOf(from[x]);
        for (int b = 0; b < bytes; ++b)
          to[format.lsb_first ? b : bytes - 1 - b] = static_cast<std::uint8_t>(pixel >> (8 * b));
      }
    }
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                  static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(count), 0,
                  static_cast<std::int16_t>(y), 0, format.depth,
                  static_cast<std::uint32_t>(rows.size()), rows.data());
  }
  xcb_free_gc(connection, gc);
  return std::unique_ptr<ServerPicture>(new ServerPicture(pixmap, width, height, format.depth, format.visual));
}

std::unique_ptr<ServerPicture> ServerPicture::FromRoot(const PixelFormat& format, int left, int top,
                                                       int width, int height) {
  auto* connection = Connection();
  if (connection == nullptr || width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF)
    return nullptr;
  const xcb_screen_t* screen = DefaultScreen(connection);
  if (screen->root_depth != format.depth) return nullptr;
  const xcb_pixmap_t pixmap = xcb_generate_id(connection);
  xcb_create_pixmap(connection, format.depth, pixmap, screen->root, static_cast<std::uint16_t>(width),
                    static_cast<std::uint16_t>(height));
  // Every window's pixels as the screen shows them, not only the root's own.
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  const std::uint32_t values[] = {format.PixelOf(0), XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS};
  xcb_create_gc(connection, gc, pixmap, XCB_GC_FOREGROUND | XCB_GC_SUBWINDOW_MODE, values);
  const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
  xcb_poly_fill_rectangle(connection, pixmap, gc, 1, &all);
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = std::min(left + width, int{screen->width_in_pixels});
  const int y1 = std::min(top + height, int{screen->height_in_pixels});
  if (x1 > x0 && y1 > y0)
    xcb_copy_area(connection, screen->root, pixmap, gc, static_cast<std::int16_t>(x0),
                  static_cast<std::int16_t>(y0), static_cast<std::int16_t>(x0 - left),
                  static_cast<std::int16_t>(y0 - top), static_cast<std::uint16_t>(x1 - x0),
                  static_cast<std::uint16_t>(y1 - y0));
  xcb_free_gc(connection, gc);
  return std::unique_ptr<ServerPicture>(
      new ServerPicture(pixmap, width, height, format.depth, screen->root_visual));
}

ServerPicture::~ServerPicture() {
  // A window whose background it is keeps the server's copy alive.
  if (auto* connection = Connection()) xcb_free_pixmap(connection, pixmap_);
}

std::uint32_t CreateWindow(std::uint32_t parent, bool takes_pointer) {
  auto* connection = Connection();
  if (connection == nullptr || parent == 0) return 0;
  const xcb_window_t window = xcb_generate_id(connection);
  const std::uint32_t pointer = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                XCB_EVENT_MASK_POINTER_MOTION;
  // No exposure events: the background is all there is to draw, and the server draws it.
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, takes_pointer ? pointer : 0u};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, parent, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
  return window;
}

void DestroyWindow(std::uint32_t window) {
  if (auto* connection = Connection(); connection != nullptr && window != 0)
    xcb_destroy_window(connection, window);
}

void MoveResizeWindow(std::uint32_t window, int left, int top, int width, int height) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return;
  const std::int32_t values[] = {std::clamp(left, -0x8000, 0x7FFF), std::clamp(top, -0x8000, 0x7FFF),
                                 std::clamp(width, 1, 0x7FFF), std::clamp(height, 1, 0x7FFF)};
  xcb_configure_window(connection, window,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                           XCB_CONFIG_WINDOW_HEIGHT,
                       values);
}

void MapWindow(std::uint32_t window, bool mapped) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return;
  if (mapped) xcb_map_window(connection, window);
  else xcb_unmap_window(connection, window);
}

namespace {

// Gives window a new background and has the server paint it at once.
void SetBackground(std::uint32_t window, std::uint32_t which, std::uint32_t value) {
  auto* connection = Connection();
  if (connection == nullptr || window == 0) return;
  xcb_change_window_attributes(connection, window, which, &value);
  xcb_clear_area(connection, 0, window, 0, 0, 0, 0);
}

}  // namespace

void SetBackgroundPixel(std::uint32_t window, std::uint32_t pixel) {
  SetBackground(window, XCB_CW_BACK_PIXEL, pixel);
}

void SetBackgroundPicture(std::uint32_t window, const ServerPicture& picture) {
  // The window keeps the server's copy alive after the picture is let go.
  SetBackground(window, XCB_CW_BACK_PIXMAP, picture.Pixmap());
}

void SetBackgroundOfParent(std::uint32_t window) {
  SetBackground(window, XCB_CW_BACK_PIXMAP, XCB_BACK_PIXMAP_PARENT_RELATIVE);
}

std::optional<ScreenPixels> ReadRoot(int left, int top, int width, int height) {
  auto* connection = Connection();
  if (connection == nullptr || width <= 0 || height <= 0) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const xcb_screen_t* screen = DefaultScreen(connection);
  ScreenPixels result;
  result.width = width;
  result.height = height;
  result.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  // Whatever lies beyond the root stays black.
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = std::min(left + width, int{screen->width_in_pixels});
  const int y1 = std::min(top + height, int{screen->height_in_pixels});
  if (x1 <= x0 || y1 <= y0) return result;

  const xcb_visualtype_t* visual = FindVisual(screen, screen->root_visual);
  if (visual == nullptr) return std::nullopt;
  int bits_per_pixel = 0, scanline_pad = 32;
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
       xcb_format_next(&formats)) {
    if (formats.data->depth == screen->root_depth) {
      bits_per_pixel = formats.data->bits_per_pixel;
      scanline_pad = formats.data->scanline_pad;
    }
  }
  if (bits_per_pixel != 16 && bits_per_pixel != 24 && bits_per_pixel != 32) return std::nullopt;
  const bool lsb_first = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  const bool plain = bits_per_pixel == 32 && lsb_first && visual->red_mask == 0xFF0000u &&
                     visual->green_mask == 0xFF00u && visual->blue_mask == 0xFFu;

  // Strips keep each reply well under any server limit on a large screen.
  const int strip = std::max(1, (4 << 20) / std::max(1, (x1 - x0) * 4));
  for (int y = y0; y < y1; y += strip) {
    const int rows = std::min(strip, y1 - y);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root,
                      static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(x1 - x0), static_cast<std::uint16_t>(rows),
                      ~0u),
        &error));
    if (error != nullptr || !reply) {
      std::free(error);
      return std::nullopt;
    }
    const auto* data = xcb_get_image_data(reply.get());
    const int row_bits = (x1 - x0) * bits_per_pixel;
    const int stride = (row_bits + scanline_pad - 1) / scanline_pad * scanline_pad / 8;
    if (xcb_get_image_data_length(reply.get()) < stride * rows) return std::nullopt;
    const int bytes = bits_per_pixel / 8;
    for (int r = 0; r < rows; ++r) {
      const std::uint8_t* source = data + static_cast<std::ptrdiff_t>(r) * stride;
      std::uint32_t* target = result.pixels.data() +
                              static_cast<std::size_t>(y + r - top) * width + (x0 - left);
      for (int c = 0; c < x1 - x0; ++c, source += bytes) {
        std::uint32_t pixel = 0;
        for (int b = 0; b < bytes; ++b) {
          const int index = lsb_first ? b : bytes - 1 - b;
          pixel |= std::uint32_t{source[index]} << (8 * b);
        }
        target[c] = plain ? (pixel & 0xFFFFFFu)
                          : (Channel(pixel, visual->red_mask) << 16) |
                                (Channel(pixel, visual->green_mask) << 8) |
                                Channel(pixel, visual->blue_mask);
      }
    }
  }
  return result;
}

}  // namespace platform::qt::x11
