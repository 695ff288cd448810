// Painting and mouse handling of the native child windows that stand for the game's controls.
#include "platform/qt/Peers.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <optional>

namespace platform::qt {

namespace {

// Every peer is an X window of its own: moving one is a copy in the server, and the
// mouse events over it are its own and never reach the board.
void MakeNativePeer(QWidget* widget) {
  widget->setAttribute(Qt::WA_NativeWindow);
  widget->setAttribute(Qt::WA_NoMousePropagation);
  widget->setAttribute(Qt::WA_OpaquePaintEvent);
  widget->setAttribute(Qt::WA_NoSystemBackground);
}

std::optional<MouseButton> ToMouseButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return std::nullopt;
  }
}

}  // namespace

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

// ---- PictureCache ----

namespace {

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

}  // namespace

std::shared_ptr<const x11::ServerPicture> PictureCache::Uploaded(
    const std::shared_ptr<const Picture>& picture, std::uint32_t like_window) {
  std::erase_if(uploads_, [](const Upload& upload) {
    return upload.server.expired() || upload.picture.expired();
  });
  for (const auto& upload : uploads_)
    if (upload.picture.lock() == picture)
      if (auto server = upload.server.lock()) return server;
  std::shared_ptr<const x11::ServerPicture> server =
      x11::ServerPicture::Upload(like_window, picture->pixels.data(), picture->width, picture->height);
  if (server) uploads_.push_back({picture, server});
  return server;
}

bool PictureCache::ScalesInServer(const std::shared_ptr<const Picture>& picture,
                                  QSize device_size) const {
  if (!picture || device_size == QSize(picture->width, picture->height)) return false;
  for (const auto& upload : uploads_)
    if (!upload.server.expired() && upload.picture.lock() == picture) return true;
  return false;
}

std::shared_ptr<const ScaledPicture> PictureCache::Get(const std::shared_ptr<const Picture>& picture,
                                                       QSize device_size, std::uint32_t like_window) {
  std::erase_if(entries_, [](const Entry& entry) { return entry.scaled.expired() || entry.picture.expired(); });
  for (const auto& entry : entries_)
    if (entry.size == device_size && entry.picture.lock() == picture)
      if (auto scaled = entry.scaled.lock()) return scaled;
  auto scaled = std::make_shared<ScaledPicture>();
  scaled->size = device_size;
  if (picture && picture->width > 0 && picture->height > 0 && !device_size.isEmpty() &&
      picture->pixels.size() >= static_cast<std::size_t>(picture->width) * picture->height) {
    const bool full = device_size == QSize(picture->width, picture->height);
    if (full || x11::ServerPicture::CanScale()) {
      scaled->source = Uploaded(picture, like_window);
      if (scaled->source && full)
        scaled->server = scaled->source;
      else if (scaled->source)
        scaled->server = x11::ServerPicture::ScaledFrom(*scaled->source, device_size.width(),
                                                        device_size.height());
    }
    if (!scaled->server) {
      // No RENDER, or an unusual pixel format: the copy is made here.
      scaled->source.reset();
      const auto pixels = ScaleNearest(*picture, device_size.width(), device_size.height());
      scaled->server = x11::ServerPicture::Upload(like_window, pixels.data(), device_size.width(),
                                                  device_size.height());
      if (!scaled->server) {
        scaled->image = QImage(device_size, QImage::Format_RGB32);
        for (int y = 0; y < device_size.height(); ++y) {
          auto* to = reinterpret_cast<std::uint32_t*>(scaled->image.scanLine(y));
          const std::uint32_t* from = pixels.data() + static_cast<std::size_t>(y) * device_size.width();
          for (int x = 0; x < device_size.width(); ++x) to[x] = from[x] | 0xFF000000u;
        }
      }
    }
  }
  ++made_;
  entries_.push_back({picture, device_size, scaled});
  return scaled;
}

// ---- BoardWindow ----

BoardWindow::BoardWindow(PeerContext& context) : context_(context) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void BoardWindow::SetColor(QColor color) {
  color_ = color;
  update();
}

void BoardWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), color_);
}

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

// ---- PanelPeer ----

PanelPeer::PanelPeer(PeerContext&, QWidget* parent) : QWidget(parent) { MakeNativePeer(this); }

void PanelPeer::SetColor(QColor color) {
  color_ = color;
  update();
}

void PanelPeer::SetBevel(bool raised) {
  raised_ = raised;
  update();
}

void PanelPeer::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), color_);
  if (!raised_ || width() < 2 || height() < 2) return;
  // A raised one-pixel frame: light on the top and left, shadow on the bottom and right.
  const int right = width() - 1, bottom = height() - 1;
  painter.fillRect(0, 0, width(), 1, Qt::white);
  painter.fillRect(0, 0, 1, height(), Qt::white);
  const QColor shadow(0x80, 0x80, 0x80);
  painter.fillRect(0, bottom, width(), 1, shadow);
  painter.fillRect(right, 0, 1, height(), shadow);
}

// ---- ImagePeer ----

ImagePeer::ImagePeer(PeerContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  MakeNativePeer(this);
}

ImagePeer::~ImagePeer() {
  std::erase(context_.stale_images, this);
  x11::DestroyWindow(picture_window_);
}

void ImagePeer::SetPicture(std::shared_ptr<const Picture> picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  scaled_.reset();
  Refresh();
}

void ImagePeer::Refresh() {
  const qreal ratio = devicePixelRatioF();
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  // Inside a call into the game a copy the server scales is made when the call returns: Qt's
  // round trips later in the call (showing a window waits for the server) would otherwise wait
  // for the server's scaling too, and the game's tick with them.
  if (context_.dispatching > 0 && picture_ && !device.isEmpty() &&
      !(scaled_ && scaled_->size == device) && context_.pictures.ScalesInServer(picture_, device)) {
    if (!stale_) context_.stale_images.push_back(this);
    stale_ = true;
    return;
  }
  MakeCopy();
}

void ImagePeer::RefreshStale(PeerContext& context) {
  while (!context.stale_images.empty()) {
    ImagePeer* image = context.stale_images.back();
    context.stale_images.pop_back();
    image->MakeCopy();
  }
}

void ImagePeer::MakeCopy() {
  stale_ = false;
  std::erase(context_.stale_images, this);
  const qreal ratio = devicePixelRatioF();
  // The copy has the window's size in device pixels, so it shows one to one under a scale factor.
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  if (!picture_ || device.isEmpty()) {
    scaled_.reset();
    x11::HidePictureWindow(picture_window_);
    update();
    return;
  }
  if (scaled_ && scaled_->size == device) return;
  // The old copy is let go only after the new one is made: it holds the upload the server
  // scales from. Letting go then frees a size no other image shows.
  const auto previous = std::move(scaled_);
  const auto window = static_cast<std::uint32_t>(winId());
  if (picture_window_ == 0) picture_window_ = x11::CreatePictureWindow(window);
  scaled_ = context_.pictures.Get(picture_, device, window);
  if (scaled_->server) {
    x11::ShowPictureWindow(picture_window_, *scaled_->server, device.width(), device.height());
  } else {
    x11::HidePictureWindow(picture_window_);
    update();
  }
}

void ImagePeer::resizeEvent(QResizeEvent*) { Refresh(); }

void ImagePeer::paintEvent(QPaintEvent* event) {
  if (scaled_ && scaled_->server) return;  // the picture window covers all of us
  QPainter painter(this);
  if (scaled_ && !scaled_->image.isNull()) {
    painter.drawImage(rect(), scaled_->image);
    return;
  }
  // An image without a picture shows its panel.
  auto* panel = dynamic_cast<PanelPeer*>(parentWidget());
  painter.fillRect(event->rect(), panel ? panel->Color() : QColor(Qt::black));
}

// ---- LabelPeer ----

LabelPeer::LabelPeer(PeerContext& context, Handle handle, QWidget* parent)
    : QWidget(parent), context_(context), handle_(handle) {
  MakeNativePeer(this);
  setMouseTracking(true);
  Font initial;
  initial.face = "VL PGothic";
  SetPeerFont(initial);
}

void LabelPeer::SetColor(QColor color) {
  color_ = color;
  update();
}

void LabelPeer::SetText(const QString& text, bool centered) {
  text_ = text;
  centered_ = centered;
  update();
}

void LabelPeer::SetPeerFont(const Font& font) {
  QFont qfont;
  qfont.setFamilies(FontFamiliesFor(QString::fromUtf8(font.face.data(),
                                                      static_cast<qsizetype>(font.face.size()))));
  qfont.setPixelSize(font.pixel_height > 0 ? font.pixel_height : 12);
  setFont(qfont);
  text_color_ = ToQColor(font.color);
  update();
}

void LabelPeer::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), color_);
  painter.setPen(text_color_);
  // The stand-in face runs wider than the one the layout was drawn for: a caption that would
  // not fit its label is condensed rather than cut off at both ends.
  painter.setFont(font());
  const auto alignment = (centered_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
  const int advance = QFontMetrics(font()).horizontalAdvance(text_);
  if (advance <= width()) {
    painter.drawText(rect(), alignment, text_);
    return;
  }
  painter.scale(static_cast<double>(width()) / advance, 1.0);
  painter.drawText(QRect(0, 0, advance, height()), alignment, text_);
}

void LabelPeer::Press(QMouseEvent* event, bool may_click) {
  const auto button = ToMouseButton(event->button());
  if (!button) return;
  auto* sink = context_.Sink();
  if (sink == nullptr) return;
  click_armed_ = may_click && event->button() == Qt::LeftButton;
  const auto boxes_before = context_.boxes_shown;
  const QPoint at = event->position().toPoint();
  {
    Dispatch dispatch(context_);
    sink->MouseDown(handle_, *button, at.x(), at.y());
  }
  // A box opened by the press takes the button's release: no click follows.
  if (context_.boxes_shown != boxes_before) click_armed_ = false;
}

void LabelPeer::mousePressEvent(QMouseEvent* event) { Press(event, true); }

void LabelPeer::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press again, but not a second click.
  Press(event, false);
}

void LabelPeer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !click_armed_) return;
  click_armed_ = false;
  if (!rect().contains(event->position().toPoint())) return;
  if (auto* sink = context_.Sink()) {
    Dispatch dispatch(context_);
    sink->Click(handle_);
  }
}

void LabelPeer::mouseMoveEvent(QMouseEvent* event) {
  if (auto* sink = context_.Sink()) {
    const QPoint at = event->position().toPoint();
    Dispatch dispatch(context_);
    sink->MouseMove(handle_, at.x(), at.y());
  }
}

}  // namespace platform::qt
