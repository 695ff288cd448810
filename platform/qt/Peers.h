// The Qt widgets behind the game's controls: the board window, panels, images and labels.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Backend.h"
#include "platform/qt/X11.h"

namespace platform::qt {

// 0x00BBGGRR, the layout's colour notation, as a Qt colour.
QColor ToQColor(std::uint32_t bgr);

// The photograph at one device size: in the X server, where it becomes a window's background,
// or in memory for Qt to draw where the server's pixel format is an unusual one.
struct ScaledPicture {
  QSize size;
  // At the photograph's own size this is the upload itself.
  std::shared_ptr<const x11::ServerPicture> server;
  // The full-size upload the server scales from, kept while any size of it is in use so the
  // next size needs no upload.
  std::shared_ptr<const x11::ServerPicture> source;
  QImage image;
};

// One scaled copy per (photograph, device size), shared by every image of that size and
// dropped when no image shows it any more: four images of one size hold one copy between them.
// Each photograph goes to the server once; the server makes the scaled copies from it.
class PictureCache {
 public:
  std::shared_ptr<const ScaledPicture> Get(const std::shared_ptr<const Picture>& picture,
                                           QSize device_size, std::uint32_t like_window);
  // How many scaled copies were made so far.
  int Made() const { return made_; }
  // True when a copy at device_size would be scaled by the server from an upload it holds.
  bool ScalesInServer(const std::shared_ptr<const Picture>& picture, QSize device_size) const;

 private:
  std::shared_ptr<const x11::ServerPicture> Uploaded(const std::shared_ptr<const Picture>& picture,
                                                     std::uint32_t like_window);
  struct Entry {
    std::weak_ptr<const Picture> picture;
    QSize size;
    std::weak_ptr<const ScaledPicture> scaled;
  };
  struct Upload {
    std::weak_ptr<const Picture> picture;
    std::weak_ptr<const x11::ServerPicture> server;
  };
  std::vector<Entry> entries_;
  std::vector<Upload> uploads_;
  int made_ = 0;
};

class ImagePeer;

// What every peer shares: the backend (for its sink) and the picture cache.
struct PeerContext {
  Backend* backend = nullptr;
  PictureCache pictures;
  // Images whose new copy waits for the end of the call into the game (see ImagePeer::Refresh).
  std::vector<ImagePeer*> stale_images;
  // Counts message boxes; a click whose press opened a box is no click.
  std::uint64_t boxes_shown = 0;
  // Puts on screen what the game has changed but the backend has held back (see Dispatch).
  std::function<void()> settle;
  // How many calls into the sink are under way.
  int dispatching = 0;
  EventSink* Sink() const { return backend ? backend->Sink() : nullptr; }
};

// Wraps one call into the sink: whatever the game changed in it reaches the screen as one
// step when it returns, before the loop can draw or wait.
class Dispatch {
 public:
  explicit Dispatch(PeerContext& context) : context_(context) { ++context_.dispatching; }
  ~Dispatch() {
    --context_.dispatching;
    if (context_.settle) context_.settle();
  }
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

 private:
  PeerContext& context_;
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

// The picture is the background of a bare X child window, which the server draws itself:
// moving the image's panel costs no painting and no scaling here.
class ImagePeer : public QWidget {
 public:
  ImagePeer(PeerContext& context, QWidget* parent);
  ~ImagePeer() override;
  void SetPicture(std::shared_ptr<const Picture> picture);
  // Brings the shown copy in line with the picture and the current size.
  void Refresh();
  // Makes the copies that Refresh left for the end of the call into the game.
  static void RefreshStale(PeerContext& context);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void MakeCopy();
  PeerContext& context_;
  bool stale_ = false;
  std::shared_ptr<const Picture> picture_;
  std::shared_ptr<const ScaledPicture> scaled_;
  std::uint32_t picture_window_ = 0;
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
