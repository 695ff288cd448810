// The toolkit's memory floor: one empty QWidget shown full-screen, nothing else, until it is stopped.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  // As the game does: an X11 client whatever the session offers.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle("vortrane-empty-window");
  window.showFullScreen();
  return QApplication::exec();
}
