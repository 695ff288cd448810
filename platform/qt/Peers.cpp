// The board window and the controls' own X windows: their backgrounds, and the pointer on them.
#include "platform/qt/Peers.h"

#include <xcb/xcb.h>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform::qt {

QColor ToQColor(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                static_cast<int>((bgr >> 16) & 0xFFu));
}

QStringList FontFamiliesFor(const QString& face) {
  // The layout's face is a Windows Japanese font; these carry the same glyphs on Linux.
  QStringList families{"VL PGothic", "VL Gothic", "Noto Sans CJK JP", "IPAPGothic",
                       "TakaoPGothic"};
  if (!face.isEmpty() && !families.contains(face)) families.prepend(face);
  return families;
}

namespace {

// A colour as a pixel of the board's windows.
std::uint32_t PixelFor(const PeerContext& context, QColor color) {
  const std::uint32_t rgb = color.rgb() & 0xFFFFFFu;
  return context.format ? context.format->PixelOf(rgb) : rgb;
}

// A picture drawn here, sent to the server as a background for window; nothing when the
// board's pixel format is not one pictures can be made for.
std::unique_ptr<x11::ServerPicture> UploadImage(const PeerContext& context, const QImage& image,
                                                std::uint32_t window) {
  if (!context.format || image.format() != QImage::Format_RGB32) return nullptr;
  return x11::ServerPicture::Upload(*context.format, window,
                                    reinterpret_cast<const std::uint32_t*>(image.constBits()),
                                    image.width(), image.height());
}

// Nearest pixel, as a stretched blit does it.
std::vector<std::uint32_t> ScaleNearest(const Picture& picture, int width, int height) {
  std::vector<std::uint32_t> scaled(static_cast<std::size_t>(width) * height);
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    columns[static_cast<std::size_t>(x)] =
        static_cast<int>(static_cast<std::int64_t>(x) * picture.width / width);
  for (int y = 0; y < height; ++y) {
    const auto row = static_cast<std::size_t>(static_cast<std::int64_t>(y) * picture.height / height);
    const std::uint32_t* from = picture.pixels.data() + row * picture.width;
    std::uint32_t* to = scaled.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) to[x] = from[columns[static_cast<std::size_t>(x)]];
  }
  return scaled;
}

bool HasPixels(const Picture& picture) {
  return picture.pixels.size() >= static_cast<std::size_t>(picture.width) * picture.height;
}

}  // namespace

// ---- PictureCache ----

std::shared_ptr<const x11::ServerPicture> PictureCache::Uploaded(
    const std::shared_ptr<const Picture>& picture, const x11::PixelFormat& format,
    std::uint32_t drawable) {
  if (const auto* held = dynamic_cast<const ServerPhotograph*>(picture.get())) return held->server;
  std::erase_if(uploads_, [](const Upload& upload) {
    return upload.server.expired() || upload.picture.expired();
  });
  for (const auto& upload : uploads_)
    if (upload.picture.lock() == picture)
      if (auto server = upload.server.lock()) return server;
  std::shared_ptr<const x11::ServerPicture> server = x11::ServerPicture::Upload(
      format, drawable, picture->pixels.data(), picture->width, picture->height);
  if (server) uploads_.push_back({picture, server});
  return server;
}

std::shared_ptr<const ScaledPicture> PictureCache::Get(const std::shared_ptr<const Picture>& picture,
                                                       QSize device_size, const x11::PixelFormat& format,
                                                       std::uint32_t drawable) {
  std::erase_if(entries_, [](const Entry& entry) { return entry.scaled.expired() || entry.picture.expired(); });
  for (const auto& entry : entries_)
    if (entry.size == device_size && entry.picture.lock() == picture)
      if (auto scaled = entry.scaled.lock()) return scaled;
  auto scaled = std::make_shared<ScaledPicture>();
  scaled->size = device_size;
  const bool held = dynamic_cast<const ServerPhotograph*>(picture.get()) != nullptr;
  if (picture && picture->width > 0 && picture->height > 0 && !device_size.isEmpty() &&
      (held || HasPixels(*picture))) {
    const bool full = device_size == QSize(picture->width, picture->height);
    if (full || x11::ServerPicture::CanScale()) {
      scaled->source = Uploaded(picture, format, drawable);
      if (scaled->source && full)
        scaled->server = scaled->source;
      else if (scaled->source)
        scaled->server = x11::ServerPicture::ScaledFrom(*scaled->source, device_size.width(),
                                                        device_size.height());
    }
    if (!scaled->server && HasPixels(*picture)) {
      // No RENDER: the copy is made here.
      scaled->source.reset();
      const auto pixels = ScaleNearest(*picture, device_size.width(), device_size.height());
      scaled->server = x11::ServerPicture::Upload(format, drawable, pixels.data(),
                                                  device_size.width(), device_size.height());
    }
  }
  ++made_;
  entries_.push_back({picture, device_size, scaled});
  return scaled;
}

// ---- BoardWindow ----

BoardWindow::BoardWindow(PeerContext& context) : context_(context) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  // The client window covers all of the board and the server draws it: Qt paints nothing
  // here and so keeps no full-screen copy of the board in the program's memory.
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  // The board's X window is made once, now, and lives as long as the program.
  const auto board = static_cast<std::uint32_t>(winId());
  if (!context_.format) context_.format = x11::FormatOf(board);
  context_.ratio = devicePixelRatioF();
  client_ = x11::CreateWindow(board, false);
  SetColor(Qt::black);
  x11::MapWindow(client_, true);
}

BoardWindow::~BoardWindow() { x11::DestroyWindow(client_); }

void BoardWindow::SetColor(QColor color) {
  x11::SetBackgroundPixel(client_, PixelFor(context_, color));
}

void BoardWindow::FitClient() {
  x11::MoveResizeWindow(client_, 0, 0, context_.ToDevice(width()), context_.ToDevice(height()));
}

void BoardWindow::resizeEvent(QResizeEvent*) { FitClient(); }

void BoardWindow::paintEvent(QPaintEvent*) {}

void BoardWindow::mouseMoveEvent(QMouseEvent* event) {
  if (auto* sink = context_.Sink()) {
    const QPoint at = event->position().toPoint();
    Dispatch dispatch(context_);
    sink->MouseMove(kBoardHandle, at.x(), at.y());
  }
}

void BoardWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (auto* sink = context_.Sink()) {
    Dispatch dispatch(context_);
    sink->DoubleClick(kBoardHandle);
  }
}

void BoardWindow::closeEvent(QCloseEvent* event) {
  // The game decides, and hides the board itself when it agrees.
  event->ignore();
  if (auto* sink = context_.Sink()) {
    Dispatch dispatch(context_);
    sink->CloseRequest();
  }
}

// ---- PeerWindow ----

PeerWindow::PeerWindow(PeerContext& context, Handle handle, PeerKind kind,
                       std::uint32_t parent_window, std::string_view name)
    : context_(context), handle_(handle), kind_(kind) {
  // Every control takes the pointer: what lands on a desktop never reaches the board.
  window_ = x11::CreateWindow(parent_window, true);
  x11::SetWindowName(window_, name);
  Font initial;
  initial.face = "VL PGothic";
  SetFont(initial);
  MarkChanged(kGeometry | kBackground);
}

PeerWindow::~PeerWindow() {
  std::erase(context_.changed, this);
  x11::DestroyWindow(window_);
}

void PeerWindow::MarkChanged(unsigned what) {
  if (changes_ == 0) context_.changed.push_back(this);
  changes_ |= what;
  if (context_.dispatching == 0 && context_.settle_later) context_.settle_later();
}

QSize PeerWindow::DeviceSize() const {
  return QSize(context_.ToDevice(std::max(0, bounds_.width)), context_.ToDevice(std::max(0, bounds_.height)));
}

void PeerWindow::SetBounds(Rect bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  MarkChanged(kGeometry);
}

void PeerWindow::SetVisible(bool visible) {
  visible_ = visible;
  if (changes_ != 0) Apply();
  UpdateMapping();
}

void PeerWindow::SetColor(QColor color) {
  if (color == color_) return;
  color_ = color;
  if (kind_ != PeerKind::Image) MarkChanged(kBackground);
}

void PeerWindow::SetBevel(bool raised) {
  if (raised == raised_) return;
  raised_ = raised;
  if (kind_ == PeerKind::Panel) MarkChanged(kBackground);
}

void PeerWindow::SetText(const QString& text, bool centered) {
  if (text == text_ && centered == centered_) return;
  text_ = text;
  centered_ = centered;
  if (kind_ == PeerKind::Label) MarkChanged(kBackground);
}

void PeerWindow::SetFont(const Font& font) {
  QFont qfont;
  qfont.setFamilies(FontFamiliesFor(QString::fromUtf8(font.face.data(),
                                                      static_cast<qsizetype>(font.face.size()))));
  qfont.setPixelSize(font.pixel_height > 0 ? font.pixel_height : 12);
  const QColor text_color = ToQColor(font.color);
  if (qfont == font_ && text_color == text_color_) return;
  font_ = qfont;
  text_color_ = text_color;
  if (kind_ == PeerKind::Label) MarkChanged(kBackground);
}

void PeerWindow::SetPicture(std::shared_ptr<const Picture> picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  if (kind_ == PeerKind::Image) MarkChanged(kBackground);
}

void PeerWindow::Redraw() { MarkChanged(kGeometry | kBackground); }

void PeerWindow::Apply() {
  if (changes_ & kGeometry) {
    const QSize device = DeviceSize();
    x11::MoveResizeWindow(window_, context_.ToDevice(bounds_.left), context_.ToDevice(bounds_.top),
                          device.width(), device.height());
    if (device != drawn_size_) changes_ |= kBackground;
  }
  if (changes_ & kBackground) DrawBackground();
  changes_ = 0;
  UpdateMapping();
}

void PeerWindow::UpdateMapping() {
  // A window cannot be empty: a control without area is taken off the screen instead.
  const bool mapped = visible_ && !DeviceSize().isEmpty();
  if (mapped == mapped_) return;
  mapped_ = mapped;
  x11::MapWindow(window_, mapped);
}

void PeerWindow::DrawBackground() {
  const QSize device = DeviceSize();
  drawn_size_ = device;
  if (device.isEmpty()) return;
  switch (kind_) {
    case PeerKind::Panel: DrawPanel(device); break;
    case PeerKind::Label: DrawLabel(device); break;
    case PeerKind::Image: DrawImage(device); break;
    case PeerKind::Board: break;
  }
}

void PeerWindow::DrawPanel(QSize device) {
  const int width = bounds_.width, height = bounds_.height;
  if (raised_ && width >= 2 && height >= 2) {
    // A raised one-pixel frame: light on the top and left, shadow on the bottom and right.
    QImage image(device, QImage::Format_RGB32);
    image.setDevicePixelRatio(context_.ratio);
    {
      QPainter painter(&image);
      painter.fillRect(0, 0, width, height, color_);
      painter.fillRect(0, 0, width, 1, Qt::white);
      painter.fillRect(0, 0, 1, height, Qt::white);
      const QColor shadow(0x80, 0x80, 0x80);
      painter.fillRect(0, height - 1, width, 1, shadow);
      painter.fillRect(width - 1, 0, 1, height, shadow);
    }
    if (auto picture = UploadImage(context_, image, window_)) {
      background_ = std::move(picture);
      x11::SetBackgroundPicture(window_, *background_);
      return;
    }
  }
  background_.reset();
  x11::SetBackgroundPixel(window_, PixelFor(context_, color_));
}

void PeerWindow::DrawLabel(QSize device) {
  QImage image(device, QImage::Format_RGB32);
  image.setDevicePixelRatio(context_.ratio);
  {
    QPainter painter(&image);
    const QRect area(0, 0, bounds_.width, bounds_.height);
    painter.fillRect(area, color_);
    painter.setPen(text_color_);
    painter.setFont(font_);
    // The stand-in face runs wider than the one the layout was drawn for: a caption that would
    // not fit its label is condensed rather than cut off at both ends.
    const auto alignment = (centered_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
    const int advance = QFontMetrics(font_).horizontalAdvance(text_);
    if (advance <= area.width()) {
      painter.drawText(area, alignment, text_);
    } else {
      painter.scale(static_cast<double>(area.width()) / advance, 1.0);
      painter.drawText(QRect(0, 0, advance, area.height()), alignment, text_);
    }
  }
  background_ = UploadImage(context_, image, window_);
  if (background_) x11::SetBackgroundPicture(window_, *background_);
  else x11::SetBackgroundPixel(window_, PixelFor(context_, color_));
}

void PeerWindow::DrawImage(QSize device) {
  if (!picture_ || !context_.format) {
    // An image without a picture shows its panel.
    scaled_.reset();
    x11::SetBackgroundOfParent(window_);
    return;
  }
  // The old copy is let go only after the new one is made: it holds the upload the server
  // scales from. Letting go then frees a size no other image shows.
  const auto previous = std::move(scaled_);
  scaled_ = context_.pictures.Get(picture_, device, *context_.format, window_);
  if (scaled_->server) x11::SetBackgroundPicture(window_, *scaled_->server);
  else x11::SetBackgroundOfParent(window_);
}

// ---- The pointer ----

void PeerWindow::OnPointer(const void* xcb_event) {
  // Only labels have handlers; and while a box is open the board's controls take no input.
  if (kind_ != PeerKind::Label || QGuiApplication::modalWindow() != nullptr) return;
  const auto* event = static_cast<const xcb_generic_event_t*>(xcb_event);
  switch (event->response_type & 0x7F) {
    case XCB_BUTTON_PRESS: {
      const auto* press = static_cast<const xcb_button_press_event_t*>(xcb_event);
      Press(press->detail, press->event_x, press->event_y, press->time);
      break;
    }
    case XCB_BUTTON_RELEASE: {
      const auto* release = static_cast<const xcb_button_release_event_t*>(xcb_event);
      Release(release->detail, release->event_x, release->event_y);
      break;
    }
    case XCB_MOTION_NOTIFY: {
      const auto* motion = static_cast<const xcb_motion_notify_event_t*>(xcb_event);
      if (auto* sink = context_.Sink()) {
        Dispatch dispatch(context_);
        sink->MouseMove(handle_, static_cast<int>(std::floor(motion->event_x / context_.ratio)),
                        static_cast<int>(std::floor(motion->event_y / context_.ratio)));
      }
      break;
    }
    default: break;
  }
}

void PeerWindow::Press(int button, int x, int y, std::uint32_t time) {
  std::optional<MouseButton> which;
  switch (button) {
    case XCB_BUTTON_INDEX_1: which = MouseButton::Left; break;
    case XCB_BUTTON_INDEX_2: which = MouseButton::Middle; break;
    case XCB_BUTTON_INDEX_3: which = MouseButton::Right; break;
    default: return;  // the wheel
  }
  auto* sink = context_.Sink();
  if (sink == nullptr) return;
  // The second press of a double click is a press again, but not a second click.
  bool second_of_double = false;
  if (*which == MouseButton::Left) {
    const auto* hints = QGuiApplication::styleHints();
    const int distance = context_.ToDevice(hints->mouseDoubleClickDistance());
    second_of_double = last_left_press_ &&
                       time - *last_left_press_ < static_cast<std::uint32_t>(hints->mouseDoubleClickInterval()) &&
                       std::abs(x - last_press_x_) <= distance && std::abs(y - last_press_y_) <= distance;
    if (second_of_double) last_left_press_.reset();
    else last_left_press_ = time;
    last_press_x_ = x;
    last_press_y_ = y;
  }
  click_armed_ = *which == MouseButton::Left && !second_of_double;
  const auto boxes_before = context_.boxes_shown;
  {
    Dispatch dispatch(context_);
    sink->MouseDown(handle_, *which, static_cast<int>(std::floor(x / context_.ratio)),
                    static_cast<int>(std::floor(y / context_.ratio)));
  }
  // A box opened by the press takes the button's release: no click follows.
  if (context_.boxes_shown != boxes_before) click_armed_ = false;
}

void PeerWindow::Release(int button, int x, int y) {
  if (button != XCB_BUTTON_INDEX_1 || !click_armed_) return;
  click_armed_ = false;
  if (x < 0 || y < 0 || x >= drawn_size_.width() || y >= drawn_size_.height()) return;
  if (auto* sink = context_.Sink()) {
    Dispatch dispatch(context_);
    sink->Click(handle_);
  }
}

}  // namespace platform::qt
