#include "platform/MessageDialog.h"

#include "platform/QuitSignals.h"
#include "platform/Utf8.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace Platform {

namespace {

constexpr int Margin = 16;
constexpr int ButtonWidth = 80;
constexpr int ButtonHeight = 26;
// Lines longer than this are wrapped at a space.
constexpr std::size_t WrapColumns = 90;

// The built-in font is ISO 8859-1.
std::string latin1(std::string_view utf8) {
    std::string out;
    for (char16_t c : utf8ToUtf16(utf8))
        out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<std::string> wrappedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        while (line.size() > WrapColumns) {
            std::size_t cut = line.rfind(' ', WrapColumns);
            if (cut == std::string::npos || cut == 0)
                cut = WrapColumns;
            lines.push_back(line.substr(0, cut));
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

struct Layout {
    int width = 0;
    int height = 0;
    int lineHeight = 0;
    int buttonX = 0;
    int buttonY = 0;
};

void draw(Display* display, Window window, GC gc, XFontStruct* font, const std::vector<std::string>& lines,
          const Layout& layout) {
    XClearWindow(display, window);
    int y = Margin + font->ascent;
    for (const std::string& line : lines) {
        XDrawString(display, window, gc, Margin, y, line.data(), static_cast<int>(line.size()));
        y += layout.lineHeight;
    }
    XDrawRectangle(display, window, gc, layout.buttonX, layout.buttonY, ButtonWidth, ButtonHeight);
    const char* ok = "OK";
    const int okWidth = XTextWidth(font, ok, 2);
    XDrawString(display, window, gc, layout.buttonX + (ButtonWidth - okWidth) / 2,
                layout.buttonY + (ButtonHeight + font->ascent - font->descent) / 2, ok, 2);
    XFlush(display);
}

} // namespace

bool showMessageDialog(std::string_view caption, std::string_view text) {
    if (const char* driver = std::getenv("SDL_VIDEODRIVER"); driver != nullptr && *driver != '\0' &&
                                                               std::strcmp(driver, "x11") != 0)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    XFontStruct* font = XLoadQueryFont(display, "fixed");
    if (font == nullptr) {
        XCloseDisplay(display);
        return false;
    }
    const std::vector<std::string> lines = wrappedLines(latin1(text));
    int textWidth = 0;
    for (const std::string& line : lines)
        textWidth = std::max(textWidth, XTextWidth(font, line.data(), static_cast<int>(line.size())));
    Layout layout;
    layout.lineHeight = font->ascent + font->descent + 2;
    layout.width = std::max(textWidth, 240) + 2 * Margin;
    layout.height = Margin + static_cast<int>(lines.size()) * layout.lineHeight + Margin + ButtonHeight + Margin;
    layout.buttonX = layout.width - Margin - ButtonWidth;
    layout.buttonY = layout.height - Margin - ButtonHeight;

    const int screen = DefaultScreen(display);
    const int x = std::max(0, (DisplayWidth(display, screen) - layout.width) / 2);
    const int y = std::max(0, (DisplayHeight(display, screen) - layout.height) / 2);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(layout.width),
                            static_cast<unsigned>(layout.height), 1, BlackPixel(display, screen),
                            WhitePixel(display, screen));
    const std::string title = latin1(caption);
    XStoreName(display, window, title.c_str());
    XSizeHints* hints = XAllocSizeHints();
    if (hints != nullptr) {
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->x = x;
        hints->y = y;
        hints->min_width = hints->max_width = layout.width;
        hints->min_height = hints->max_height = layout.height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XSetFont(display, gc, font->fid);
    XMapRaised(display, window);

    for (bool open = true; open;) {
        // A quit request closes the dialog like its "OK": the wait looks at
        // the flag a few times a second between the server's events.
        if (quitRequested())
            break;
        if (XPending(display) == 0) {
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            ::poll(&connection, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case MapNotify:
            // The program's own window may hold the keyboard: Enter must
            // reach the dialog.
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            break;
        case Expose:
            if (event.xexpose.count == 0)
                draw(display, window, gc, font, lines, layout);
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&event.xmapping);
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            open = !(key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space);
            break;
        }
        case ButtonPress:
            open = !(event.xbutton.x >= layout.buttonX && event.xbutton.x <= layout.buttonX + ButtonWidth &&
                     event.xbutton.y >= layout.buttonY && event.xbutton.y <= layout.buttonY + ButtonHeight);
            break;
        case ClientMessage:
            open = static_cast<Atom>(event.xclient.data.l[0]) != deleteWindow;
            break;
        default:
            break;
        }
    }
    XFreeGC(display, gc);
    XFreeFont(display, font);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return true;
}

} // namespace Platform
