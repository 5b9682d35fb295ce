#include "platform/Clipboard.h"

#include "platform/Error.h"
#include "platform/Utf8.h"

#include <SDL.h>
#include <SDL/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace Platform {

namespace {

// The most text taken from another program at one paste: more is cut.
constexpr long kMaxPasteBytes = 1 << 20;

// The SDL video window as the X server knows it.
struct X11Window {
    Display* display = nullptr;
    Window window = 0;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
};

std::optional<X11Window> videoWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 || info.info.x11.display == nullptr ||
        info.info.x11.window == 0)
        return std::nullopt;
    return X11Window{info.info.x11.display, info.info.x11.window, info.info.x11.lock_func,
                     info.info.x11.unlock_func};
}

// SDL's lock around the calls on its display (it matters only when SDL
// reads events in a thread of its own).
class DisplayLock {
public:
    explicit DisplayLock(const X11Window& w) : m_unlock(w.unlock) {
        if (w.lock != nullptr)
            w.lock();
    }
    ~DisplayLock() {
        if (m_unlock != nullptr)
            m_unlock();
    }
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

private:
    void (*m_unlock)();
};

// A requestor may close its window before the answer reaches it: the
// errors of such calls are dropped instead of reaching SDL's handler, which
// ends the program.
int dropError(Display*, XErrorEvent*) { return 0; }

class DroppedErrors {
public:
    explicit DroppedErrors(Display* display) : m_display(display), m_previous(XSetErrorHandler(dropError)) {}
    ~DroppedErrors() {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    DroppedErrors(const DroppedErrors&) = delete;
    DroppedErrors& operator=(const DroppedErrors&) = delete;

private:
    Display* m_display;
    XErrorHandler m_previous;
};

struct Atoms {
    Atom clipboard = None;
    Atom utf8 = None;
    Atom targets = None;
    Atom incr = None;
    Atom property = None;
};

const Atoms& atomsOf(Display* display) {
    static Display* cachedFor = nullptr;
    static Atoms atoms;
    if (cachedFor != display) {
        atoms.clipboard = XInternAtom(display, "CLIPBOARD", False);
        atoms.utf8 = XInternAtom(display, "UTF8_STRING", False);
        atoms.targets = XInternAtom(display, "TARGETS", False);
        atoms.incr = XInternAtom(display, "INCR", False);
        atoms.property = XInternAtom(display, "MIREL_CLIPBOARD", False);
        cachedFor = display;
    }
    return atoms;
}

// A Unicode block's text: up to its first zero unit, never past its end.
std::u16string blockText(const std::vector<std::uint8_t>& block) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
        const auto c = static_cast<char16_t>(block[i] | (block[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

std::vector<std::uint8_t> unicodeBlock(std::u16string_view text) {
    std::vector<std::uint8_t> block;
    block.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        block.push_back(static_cast<std::uint8_t>(c & 0xFF));
        block.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    block.push_back(0);
    block.push_back(0);
    return block;
}

// STRING is ISO 8859-1: what it cannot hold becomes '?'.
std::string latin1(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

std::u16string fromLatin1(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return text;
}

// The largest property one request can set, less the request's own header.
std::size_t maxPropertyBytes(Display* display) {
    long units = XExtendedMaxRequestSize(display);
    if (units == 0)
        units = XMaxRequestSize(display);
    return static_cast<std::size_t>(units) * 4 - 256;
}

// Answers another program's request for the selection: the text as
// UTF8_STRING or STRING, the list of both for TARGETS; anything else, or no
// text, is refused (property None), as the protocol asks.
void answerRequest(const XSelectionRequestEvent& request, const std::vector<std::uint8_t>* unicode) {
    Display* display = request.display;
    const Atoms& atoms = atomsOf(display);
    // Clients of old name no property: the target names it then.
    const Atom property = request.property != None ? request.property : request.target;
    DroppedErrors dropped(display);
    bool given = false;
    if (request.selection == atoms.clipboard && unicode != nullptr) {
        if (request.target == atoms.targets) {
            const Atom offered[] = {atoms.targets, atoms.utf8, XA_STRING};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 3);
            given = true;
        } else if (request.target == atoms.utf8 || request.target == XA_STRING) {
            const std::u16string text = blockText(*unicode);
            const std::string bytes = request.target == atoms.utf8 ? utf16ToUtf8(text) : latin1(text);
            // Larger text would need the incremental transfer, not spoken here.
            if (bytes.size() <= maxPropertyBytes(display)) {
                XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
                given = true;
            }
        }
    }
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = given ? property : None;
    reply.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
}

struct WaitFor {
    Window window;
};

Bool isSelectionEvent(Display*, XEvent* event, XPointer arg) {
    const Window window = reinterpret_cast<const WaitFor*>(arg)->window;
    return (event->type == SelectionNotify && event->xselection.requestor == window) ||
           event->type == SelectionRequest;
}

// Waits until the deadline for the owner's answer to a conversion into the
// target. Requests that reach the program meanwhile are refused: it does
// not own the clipboard while it reads another program's text.
bool waitForAnswer(Display* display, Window window, Atom target, std::chrono::steady_clock::time_point deadline,
                   XSelectionEvent& answer) {
    WaitFor waitFor{window};
    for (;;) {
        XEvent event;
        while (XCheckIfEvent(display, &event, isSelectionEvent, reinterpret_cast<XPointer>(&waitFor))) {
            if (event.type == SelectionRequest) {
                answerRequest(event.xselectionrequest, nullptr);
                continue;
            }
            // A late answer to an earlier request is not this one's.
            if (event.xselection.target == target) {
                answer = event.xselection;
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(std::min<long long>(left, 20)));
    }
}

} // namespace

Clipboard& Clipboard::instance() {
    static Clipboard c;
    return c;
}

bool Clipboard::systemClipboard() { return videoWindow().has_value(); }

bool Clipboard::open(const void* owner) {
    std::lock_guard lock(m_mutex);
    if (m_open) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    m_open = true;
    m_owner = owner;
    m_foreign = Foreign{};
    m_system = systemClipboard();
    // What the program set stays its own only while it keeps the selection.
    if (m_system && !ownsSystemClipboard())
        m_blocks.clear();
    return true;
}

void Clipboard::close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_owner = nullptr;
    m_foreign = Foreign{};
}

const Clipboard::Block* Clipboard::ownBlock(unsigned format) const {
    for (const auto& b : m_blocks)
        if (b.format == format)
            return &b;
    return nullptr;
}

bool Clipboard::ownsSystemClipboard() const {
    const auto w = videoWindow();
    if (!w || m_window == 0)
        return false;
    DisplayLock lock(*w);
    return XGetSelectionOwner(w->display, atomsOf(w->display).clipboard) == m_window;
}

bool Clipboard::isFormatAvailable(unsigned format) const {
    std::lock_guard lock(m_mutex);
    if (!m_system || ownsSystemClipboard())
        return ownBlock(format) != nullptr;
    // Another program's text, whatever its kind, is offered as Unicode.
    if (format != kUnicodeText)
        return false;
    readForeign();
    return m_foreign.text;
}

std::optional<std::vector<std::uint8_t>> Clipboard::data(unsigned format) const {
    std::lock_guard lock(m_mutex);
    if (!m_system || ownsSystemClipboard()) {
        if (const Block* b = ownBlock(format))
            return b->bytes;
    } else if (format == kUnicodeText) {
        readForeign();
        if (m_foreign.text && m_foreign.error == 0)
            return m_foreign.block;
        if (m_foreign.error != 0) {
            setLastError(m_foreign.error);
            return std::nullopt;
        }
    }
    setLastError(ErrorInvalidParameter);
    return std::nullopt;
}

void Clipboard::readForeign() const {
    if (m_foreign.read)
        return;
    m_foreign = Foreign{};
    m_foreign.read = true;
    const auto w = videoWindow();
    if (!w)
        return;
    DisplayLock lock(*w);
    Display* display = w->display;
    const Atoms& atoms = atomsOf(display);
    if (XGetSelectionOwner(display, atoms.clipboard) == None)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPasteWaitMs);
    for (Atom target : {atoms.utf8, static_cast<Atom>(XA_STRING)}) {
        XDeleteProperty(display, w->window, atoms.property);
        XConvertSelection(display, atoms.clipboard, target, atoms.property, w->window, CurrentTime);
        XFlush(display);
        XSelectionEvent answer{};
        if (!waitForAnswer(display, w->window, target, deadline, answer)) {
            m_foreign.text = true;
            m_foreign.error = ErrorTimeout;
            return;
        }
        // Refused: the owner has no text of this kind.
        if (answer.property == None)
            continue;
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* value = nullptr;
        const int status = XGetWindowProperty(display, w->window, answer.property, 0, kMaxPasteBytes / 4, False,
                                              AnyPropertyType, &type, &format, &items, &after, &value);
        XDeleteProperty(display, w->window, answer.property);
        if (status != Success) {
            m_foreign.text = true;
            m_foreign.error = ErrorInvalidFunction;
            return;
        }
        const std::string bytes = value != nullptr ? std::string(reinterpret_cast<const char*>(value), items) : "";
        if (value != nullptr)
            XFree(value);
        if (type == atoms.incr) {
            // Text too large for one property comes piece by piece, which
            // is not read here.
            m_foreign.text = true;
            m_foreign.error = ErrorNotSupported;
            return;
        }
        if (format != 8)
            continue;
        m_foreign.text = true;
        m_foreign.block = unicodeBlock(target == atoms.utf8 ? utf8ToUtf16(bytes) : fromLatin1(bytes));
        return;
    }
}

bool Clipboard::setData(unsigned format, std::vector<std::uint8_t> block) {
    std::lock_guard lock(m_mutex);
    if (m_system) {
        const auto w = videoWindow();
        if (!w) {
            setLastError(ErrorInvalidHandle);
            return false;
        }
        DisplayLock displayLock(*w);
        const Atom clipboard = atomsOf(w->display).clipboard;
        if (XGetSelectionOwner(w->display, clipboard) != w->window) {
            m_blocks.clear();
            XSetSelectionOwner(w->display, clipboard, w->window, CurrentTime);
            if (XGetSelectionOwner(w->display, clipboard) != w->window) {
                setLastError(ErrorAccessDenied);
                return false;
            }
        }
        m_window = w->window;
        // Other programs' requests reach the main loop as window-system
        // events.
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    }
    m_foreign = Foreign{};
    for (auto& b : m_blocks) {
        if (b.format == format) {
            b.bytes = std::move(block);
            return true;
        }
    }
    m_blocks.push_back({format, std::move(block)});
    return true;
}

void Clipboard::empty() {
    std::lock_guard lock(m_mutex);
    m_blocks.clear();
    if (m_system && ownsSystemClipboard()) {
        const auto w = videoWindow();
        DisplayLock displayLock(*w);
        XSetSelectionOwner(w->display, atomsOf(w->display).clipboard, None, CurrentTime);
        XFlush(w->display);
    }
}

bool Clipboard::handleWindowEvent(const SDL_Event& event) {
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11)
        return false;
    const XEvent& x = event.syswm.msg->event.xevent;
    if (x.type != SelectionRequest && x.type != SelectionClear)
        return false;
    const auto w = videoWindow();
    if (!w)
        return false;
    std::lock_guard lock(m_mutex);
    DisplayLock displayLock(*w);
    if (x.type == SelectionRequest) {
        const Block* unicode = ownBlock(kUnicodeText);
        answerRequest(x.xselectionrequest, unicode != nullptr ? &unicode->bytes : nullptr);
        XFlush(w->display);
    } else if (x.xselectionclear.selection == atomsOf(w->display).clipboard && x.xselectionclear.window == m_window) {
        // Another program took the clipboard: what the program set is gone.
        m_blocks.clear();
    }
    return true;
}

} // namespace Platform
