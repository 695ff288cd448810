// The windows behind the game's controls: the board is a Qt window; panels, images and labels
// are plain X windows the backend makes and draws itself.
#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Backend.h"
#include "platform/qt/X11.h"

namespace platform::qt {

// 0x00BBGGRR, the layout's colour notation, as a Qt colour.
QColor ToQColor(std::uint32_t bgr);

// The face that stands in for one the system lacks, first choice first.
QStringList FontFamiliesFor(const QString& face);

// A photograph the X server holds: its pixels never come to the program.
class ServerPhotograph final : public Picture {
 public:
  std::shared_ptr<const x11::ServerPicture> server;
};

// The photograph at one device size, in the X server.
struct ScaledPicture {
  QSize size;
  // At the photograph's own size this is the photograph's own pixmap.
  std::shared_ptr<const x11::ServerPicture> server;
  // The full-size pixmap the server scales from, kept while any size of it is in use so the
  // next size needs no upload.
  std::shared_ptr<const x11::ServerPicture> source;
};

// One scaled copy per (photograph, device size), shared by every image of that size and
// dropped when no image shows it any more: four images of one size hold one copy between them.
// Each photograph goes to the server once (or is there already); the server makes the scaled
// copies from it.
class PictureCache {
 public:
  std::shared_ptr<const ScaledPicture> Get(const std::shared_ptr<const Picture>& picture,
                                           QSize device_size, const x11::PixelFormat& format,
                                           std::uint32_t drawable);
  // How many scaled copies were made so far.
  int Made() const { return made_; }

 private:
  std::shared_ptr<const x11::ServerPicture> Uploaded(const std::shared_ptr<const Picture>& picture,
                                                     const x11::PixelFormat& format,
                                                     std::uint32_t drawable);
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

class PeerWindow;

// What the board and every peer share.
struct PeerContext {
  Backend* backend = nullptr;
  PictureCache pictures;
  // The pixel format of the board's windows; nothing where pictures cannot be made for them.
  std::optional<x11::PixelFormat> format;
  // Device pixels per logical pixel.
  qreal ratio = 1.0;
  // Peers whose window lags behind what the game set, in the order they were changed (one
  // applied early, when shown, may stay listed and is then applied again to no effect).
  std::vector<PeerWindow*> changed;
  // Counts message boxes; a click whose press opened a box is no click.
  std::uint64_t boxes_shown = 0;
  // Puts on screen what the game has changed but the backend has held back (see Dispatch).
  std::function<void()> settle;
  // Asks for settle to run from the loop: for changes made outside any call into the game.
  std::function<void()> settle_later;
  // How many calls into the sink are under way.
  int dispatching = 0;
  EventSink* Sink() const { return backend ? backend->Sink() : nullptr; }
  int ToDevice(int logical) const { return qRound(logical * ratio); }
};

// Wraps one call into the sink: whatever the game changed in it reaches the screen as one
// step when it returns.
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

// The board: the window the window manager sees. Its whole area is covered by the client
// window, a plain X window in the board's colour that the peers are children of, so nothing a
// peer uncovers costs Qt a repaint. Pointer events on the client pass through to the board.
class BoardWindow : public QWidget {
 public:
  explicit BoardWindow(PeerContext& context);
  ~BoardWindow() override;
  void SetColor(QColor color);
  std::uint32_t ClientWindow() const { return client_; }
  // Makes the client window cover the board again, in device pixels.
  void FitClient();
  // Qt draws nothing here (see the constructor).
  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  PeerContext& context_;
  std::uint32_t client_ = 0;
};

// One control's X window. What the game sets is kept here and reaches the window when the
// backend settles (Apply): the game sets a control's sides one at a time, and only the last
// of them should move the window or make a new background.
class PeerWindow {
 public:
  PeerWindow(PeerContext& context, Handle handle, PeerKind kind, std::uint32_t parent_window,
             std::string_view name);
  ~PeerWindow();
  PeerWindow(const PeerWindow&) = delete;
  PeerWindow& operator=(const PeerWindow&) = delete;

  Handle Control() const { return handle_; }
  PeerKind Kind() const { return kind_; }
  std::uint32_t Window() const { return window_; }

  void SetBounds(Rect bounds);
  void SetVisible(bool visible);
  void SetColor(QColor color);
  void SetBevel(bool raised);
  void SetText(const QString& text, bool centered);
  void SetFont(const Font& font);
  void SetPicture(std::shared_ptr<const Picture> picture);
  // Everything drawn again, as after a change of the device pixel ratio.
  void Redraw();

  // Brings the window in line with what the game set.
  void Apply();

  // A pointer event the server sent to this window. Panels and images take them and do
  // nothing, as the game has no handlers there; labels report them to the game.
  void OnPointer(const void* xcb_event);

 private:
  enum Change : unsigned { kGeometry = 1, kBackground = 2 };
  void MarkChanged(unsigned what);
  QSize DeviceSize() const;
  void DrawBackground();
  void DrawPanel(QSize device);
  void DrawLabel(QSize device);
  void DrawImage(QSize device);
  void UpdateMapping();
  void Press(int button, int x, int y, std::uint32_t time);
  void Release(int button, int x, int y);

  PeerContext& context_;
  Handle handle_;
  PeerKind kind_;
  std::uint32_t window_ = 0;
  Rect bounds_;
  QSize drawn_size_;  // the device size the background was made for
  bool visible_ = false;
  bool mapped_ = false;
  unsigned changes_ = 0;
  QColor color_{0xF0, 0xF0, 0xF0};
  bool raised_ = false;
  QString text_;
  bool centered_ = false;
  QFont font_;
  QColor text_color_ = Qt::black;
  std::shared_ptr<const Picture> picture_;
  std::shared_ptr<const ScaledPicture> scaled_;
  std::shared_ptr<const x11::ServerPicture> background_;
  // The pointer on a label: a left press arms a click, its release inside gives it.
  bool click_armed_ = false;
  std::optional<std::uint32_t> last_left_press_;  // server time of a press that could begin a double click
  int last_press_x_ = 0, last_press_y_ = 0;
};

}  // namespace platform::qt
