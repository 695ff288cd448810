// Painting and mouse handling of the native child windows that stand for the game's controls.
#include "platform/qt/Peers.h"

#include <QCloseEvent>
#include <QMouseEvent>
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

void PictureCache::Prune() {
  std::erase_if(scaled_, [](Scaled& s) { return s.picture.expired() || s.pixmap.isDetached(); });
  std::erase_if(sources_, [](Source& s) { return s.picture.expired(); });
}

const QImage& PictureCache::SourceFor(const std::shared_ptr<const Picture>& picture) {
  for (auto& source : sources_)
    if (source.picture.lock() == picture) return source.image;
  QImage image(picture->width, picture->height, QImage::Format_RGB32);
  const auto needed = static_cast<std::size_t>(picture->width) * picture->height;
  if (picture->pixels.size() < needed) {
    image.fill(Qt::black);
  } else {
    for (int y = 0; y < picture->height; ++y) {
      const std::uint32_t* from = picture->pixels.data() + static_cast<std::size_t>(y) * picture->width;
      auto* to = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      // Format_RGB32 wants the top byte set; the picture leaves it zero.
      for (int x = 0; x < picture->width; ++x) to[x] = from[x] | 0xFF000000u;
    }
  }
  sources_.push_back({picture, std::move(image)});
  return sources_.back().image;
}

QPixmap PictureCache::Get(const std::shared_ptr<const Picture>& picture, QSize device_size) {
  Prune();
  if (!picture || picture->width <= 0 || picture->height <= 0 || device_size.isEmpty())
    return {};
  for (auto& entry : scaled_)
    if (entry.size == device_size && entry.picture.lock() == picture) return entry.pixmap;
  const QImage& source = SourceFor(picture);
  // Nearest pixel, like a stretched blit; a picture of the right size is used as it is.
  QPixmap pixmap = QPixmap::fromImage(
      source.size() == device_size
          ? source
          : source.scaled(device_size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  scaled_.push_back({picture, device_size, pixmap});
  return pixmap;
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
    sink->MouseMove(kBoardHandle, at.x(), at.y());
  }
}

void BoardWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (auto* sink = context_.Sink()) sink->DoubleClick(kBoardHandle);
}

void BoardWindow::closeEvent(QCloseEvent* event) {
  // The game decides, and hides the board itself when it agrees.
  event->ignore();
  if (auto* sink = context_.Sink()) sink->CloseRequest();
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

void ImagePeer::SetPicture(std::shared_ptr<const Picture> picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  scaled_ = QPixmap();
  scaled_size_ = QSize();
  update();
}

void ImagePeer::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!picture_) {
    // An image without a picture shows its panel.
    auto* panel = dynamic_cast<PanelPeer*>(parentWidget());
    painter.fillRect(event->rect(), panel ? panel->Color() : QColor(Qt::black));
    return;
  }
  const qreal ratio = devicePixelRatioF();
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  if (scaled_size_ != device) {
    scaled_ = QPixmap();  // let the cache drop a copy no other image shares
    scaled_ = context_.pictures.Get(picture_, device);
    scaled_size_ = device;
    ++scale_count_;
  }
  // The copy has the device size, so this is a one-to-one copy even under a scale factor.
  if (!scaled_.isNull()) painter.drawPixmap(rect(), scaled_);
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
  painter.setFont(font());
  painter.drawText(rect(), (centered_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop, text_);
}

void LabelPeer::Press(QMouseEvent* event, bool may_click) {
  const auto button = ToMouseButton(event->button());
  if (!button) return;
  auto* sink = context_.Sink();
  if (sink == nullptr) return;
  click_armed_ = may_click && event->button() == Qt::LeftButton;
  const auto boxes_before = context_.boxes_shown;
  const QPoint at = event->position().toPoint();
  sink->MouseDown(handle_, *button, at.x(), at.y());
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
  if (auto* sink = context_.Sink()) sink->Click(handle_);
}

void LabelPeer::mouseMoveEvent(QMouseEvent* event) {
  if (auto* sink = context_.Sink()) {
    const QPoint at = event->position().toPoint();
    sink->MouseMove(handle_, at.x(), at.y());
  }
}

}  // namespace platform::qt
