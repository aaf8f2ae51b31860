// A small X11 client for the window tests: "fechar JANELA" asks a window to
// close as a window manager would (WM_DELETE_WINDOW), which xdotool cannot.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <X11/Xlib.h>

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "fechar") != 0) {
        std::fprintf(stderr, "uso: ljsn-x11 fechar JANELA\n");
        return 2;
    }
    Display* tela = XOpenDisplay(nullptr);
    if (tela == nullptr) {
        std::fprintf(stderr, "sem tela\n");
        return 1;
    }
    const auto janela = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = janela;
    e.xclient.message_type = XInternAtom(tela, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(tela, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(tela, janela, False, NoEventMask, &e);
    XFlush(tela);
    XCloseDisplay(tela);
    return 0;
}
