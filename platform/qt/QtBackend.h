// The Linux desktop backend: the game's platform seam realised with Qt 6 Widgets on X11.
//
// Implemented: the board as a frameless Qt window over the primary screen whose
// always-on-top state changes without re-creating it; every control a plain X window named
// after its component, which the backend draws once per change and the X server shows and
// moves by itself; modal message boxes under which timers go on; a photograph of the screen
// in device pixels that stays in the X server; precise timers; the tick count since boot; a
// flock single-instance guard; the score record in a text file; the window manager's close
// command and the end of the desktop session.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include <QRect>

#include "platform/Backend.h"
#include "platform/qt/InstanceGuard.h"
#include "platform/qt/Peers.h"

class QEventLoop;
class QObject;
class QTimer;
class QSessionManager;

namespace platform::qt {

class QtBackend final : public Backend {
 public:
  // Needs a QApplication on the xcb platform to exist already.
  QtBackend();
  ~QtBackend() override;

  void RunMessageLoop() override;
  void QuitMessageLoop() override;
  void ProcessPendingMessages() override;
  void Sleep(std::uint32_t milliseconds) override;

  int MessageBox(std::string_view text, std::string_view caption, unsigned flags) override;

  void SetTimer(int timer, std::uint32_t interval_ms, bool enabled) override;

  void CreatePeer(Handle control, PeerKind kind, Handle parent, std::string_view name) override;
  void SetPeerBounds(Handle control, Rect bounds) override;
  void SetPeerVisible(Handle control, bool visible) override;
  void SetPeerColor(Handle control, std::uint32_t color) override;
  void SetPeerBevel(Handle control, bool raised) override;
  void SetPeerText(Handle control, std::string_view utf8, bool centered) override;
  void SetPeerFont(Handle control, const Font& font) override;
  void SetPeerPicture(Handle control, std::shared_ptr<const Picture> picture) override;

  void ShowBoard() override;
  void HideBoard() override;
  void SetBoardTopmost(bool topmost) override;
  void SetTaskbarEntryVisible(bool visible) override;
  void SetTitle(std::string_view utf8) override;

  // The primary screen in Qt's logical pixels, the unit of every bound; under a scale factor
  // a photograph has the device pixels behind them (its size is then larger than asked).
  int ScreenWidth() override;
  int ScreenHeight() override;
  std::shared_ptr<Picture> Photograph(int width, int height) override;

  std::uint32_t TickCount() override;
  std::uint32_t ProcessorType() override;
  std::vector<std::string> Arguments() override;

  bool AcquireInstanceGuard(std::string_view name) override;
  void ReleaseInstanceGuard() override;

  RegistryStore& Registry() override;

  // For checks of the backend itself: the X window of a control (the board's for handle 0).
  std::uint32_t PeerWindowId(Handle control) const;
  int ScaledPicturesMade() const { return context_.pictures.Made(); }

 private:
  class PointerFilter;
  std::uint32_t BoardWindowId() const;
  PeerWindow* Peer(Handle control) const;
  // Waits (bounded) until the boxes closed lately have left the part of the screen about to
  // be photographed (device pixels on the root) and what lay beneath them has been repainted.
  // False when the screen cannot be read.
  bool WaitUntilBoxesHaveGone(const QRect& photographed);
  // Brings every control's window in line with what the game set: one move and at most one
  // new background per changed control, however many of its properties the game set one by one.
  void Settle();
  void OnCommitDataRequest(QSessionManager& manager);

  PeerContext context_;
  std::unique_ptr<BoardWindow> board_;
  std::unordered_map<Handle, std::unique_ptr<PeerWindow>> peers_;
  std::unordered_map<std::uint32_t, PeerWindow*> peers_by_window_;
  std::unique_ptr<PointerFilter> pointer_filter_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
  QEventLoop* main_loop_ = nullptr;
  bool quit_requested_ = false;
  bool topmost_ = false;
  InstanceGuard guard_;
  std::unique_ptr<RegistryStore> registry_;
  // Receives the queued call that settles changes made outside any call into the sink.
  std::unique_ptr<QObject> settler_;
  bool settle_queued_ = false;
  bool trace_ticks_ = false;

  // Boxes closed lately, by X window, for the photograph to wait until they have gone.
  struct ClosedBox {
    std::uint32_t window = 0;
    QRect area;  // device pixels on the root, frame included
    std::chrono::steady_clock::time_point closed;
    std::optional<x11::ScreenPixels> last_look;  // the area just before the box was hidden
  };
  std::vector<ClosedBox> closed_boxes_;
};

}  // namespace platform::qt
