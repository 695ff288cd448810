// The Qt widgets behind the game's controls: the board window, panels, images and labels.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Backend.h"

namespace platform::qt {

// 0x00BBGGRR, the layout's colour notation, as a Qt colour.
QColor ToQColor(std::uint32_t bgr);

// One scaled copy of a photograph per (photograph, device size), shared by every image of
// that size, so four images of one size hold one scaled picture between them.
class PictureCache {
 public:
  QPixmap Get(const std::shared_ptr<const Picture>& picture, QSize device_size);

 private:
  struct Source {
    std::weak_ptr<const Picture> picture;
    QImage image;
  };
  struct Scaled {
    std::weak_ptr<const Picture> picture;
    QSize size;
    QPixmap pixmap;
  };
  const QImage& SourceFor(const std::shared_ptr<const Picture>& picture);
  void Prune();
  std::vector<Source> sources_;
  std::vector<Scaled> scaled_;
};

// What every peer shares: the backend (for its sink) and the picture cache.
struct PeerContext {
  Backend* backend = nullptr;
  PictureCache pictures;
  // Counts message boxes; a click whose press opened a box is no click.
  std::uint64_t boxes_shown = 0;
  EventSink* Sink() const { return backend ? backend->Sink() : nullptr; }
};

class BoardWindow : public QWidget {
 public:
  explicit BoardWindow(PeerContext& context);
  void SetColor(QColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  PeerContext& context_;
  QColor color_ = Qt::black;
};

class PanelPeer : public QWidget {
 public:
  PanelPeer(PeerContext& context, QWidget* parent);
  void SetColor(QColor color);
  void SetBevel(bool raised);
  QColor Color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_{0xF0, 0xF0, 0xF0};
  bool raised_ = false;
};

class ImagePeer : public QWidget {
 public:
  ImagePeer(PeerContext& context, QWidget* parent);
  void SetPicture(std::shared_ptr<const Picture> picture);
  // How many times a scaled copy was fetched; lets a check see that a move did not rescale.
  int ScaleCount() const { return scale_count_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PeerContext& context_;
  std::shared_ptr<const Picture> picture_;
  QPixmap scaled_;
  QSize scaled_size_;
  int scale_count_ = 0;
};

class LabelPeer : public QWidget {
 public:
  LabelPeer(PeerContext& context, Handle handle, QWidget* parent);
  void SetColor(QColor color);
  void SetText(const QString& text, bool centered);
  void SetPeerFont(const Font& font);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Press(QMouseEvent* event, bool may_click);
  PeerContext& context_;
  Handle handle_;
  QColor color_ = Qt::gray;
  QColor text_color_ = Qt::black;
  QString text_;
  bool centered_ = false;
  bool click_armed_ = false;
};

// The face that stands in for one the system lacks, first choice first.
QStringList FontFamiliesFor(const QString& face);

}  // namespace platform::qt
