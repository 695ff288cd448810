// Program entry on a Linux desktop: makes sure there is an X11 session, then runs the game on the Qt backend.
#include <malloc.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Startup.h"
#include "platform/qt/QtBackend.h"

namespace {

constexpr const char* kTitle = "QX-Nembrolix Vortrane";

// On Wayland an X11 program sees only other X11 programs: the photograph would not be the desktop.
constexpr const char* kWaylandText =
    "QX-Nembrolix Vortrane needs an X11 desktop session. This is a Wayland session, where a "
    "program may not photograph the screen.\n\n"
    "To play, log out, choose an X11 session on the login screen (often called \"Xorg\" or "
    "\"on Xorg\"), log in and start the game again.";

bool IsWaylandSession() {
  const char* session = std::getenv("XDG_SESSION_TYPE");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (session != nullptr && std::strcmp(session, "wayland") == 0) || (wayland != nullptr && *wayland != '\0');
}

// Qt aborts when it cannot reach the display; asking first lets the game say why and stop.
bool CanReachDisplay() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  // Photograph-sized buffers come and go; glibc would otherwise raise its mmap threshold after
  // the first is freed and keep the next ones on the heap, where they stay resident.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  const char* display = std::getenv("DISPLAY");
  if ((display == nullptr || *display == '\0') && IsWaylandSession()) {
    std::fprintf(stderr, "%s\n", kWaylandText);
    return 1;
  }
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr,
                 "%s needs an X11 desktop, and there is none here (DISPLAY is not set).\n"
                 "Start the game from a graphical X11 session.\n",
                 kTitle);
    return 1;
  }
  if (!CanReachDisplay()) {
    std::fprintf(stderr,
                 "%s needs an X11 desktop, but the display \"%s\" cannot be opened.\n"
                 "Start the game from a graphical X11 session.\n",
                 kTitle, display);
    return 1;
  }
  // The photograph reads the X server's screen, so the game always runs as an X11 client.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  QApplication::setApplicationName("vortrane");
  QGuiApplication::setDesktopFileName("vortrane");
  // Boxes shown while the board is hidden close the last window; that must not end the game.
  QApplication::setQuitOnLastWindowClosed(false);
  // One face for everything, the one the labels use: the default face would pull in a chain of
  // fallback fonts for the Japanese text, each held in memory.
  QApplication::setFont(QFont(QStringList{"VL PGothic", "VL Gothic"}));

  if (IsWaylandSession()) {
    // Said before anything covers the screen, in a box too for a game started from a menu.
    std::fprintf(stderr, "%s\n", kWaylandText);
    QMessageBox::critical(nullptr, kTitle, kWaylandText);
    return 1;
  }

  platform::qt::QtBackend backend;
  return app::RunProgram(backend);
}
