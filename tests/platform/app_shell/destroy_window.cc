// Destroys an X window from another client, as a misbehaving program or a
// desktop tool can: the window's owner learns of it only afterwards.
#include <X11/Xlib.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XDestroyWindow(display, static_cast<Window>(std::strtoul(argv[1], nullptr, 0)));
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
