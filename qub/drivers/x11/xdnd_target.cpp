#include "qub/drivers/x11/xdnd_target.h"

#include "qub/drivers/x11/uri_list.h"

#include <X11/Xatom.h>

namespace qub {

namespace {

constexpr long kVersion = 5;

} // namespace

XdndTarget::XdndTarget(Display* display, Window window) : display_(display), window_(window) {
    const auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    aware_ = atom("XdndAware");
    enter_ = atom("XdndEnter");
    position_ = atom("XdndPosition");
    status_ = atom("XdndStatus");
    leave_ = atom("XdndLeave");
    drop_ = atom("XdndDrop");
    finished_ = atom("XdndFinished");
    selection_ = atom("XdndSelection");
    typeList_ = atom("XdndTypeList");
    uriList_ = atom("text/uri-list");
    copy_ = atom("XdndActionCopy");
    property_ = atom("QUB_DROPPED_FILES");
    const long version = kVersion;
    XChangeProperty(display, window, aware_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

bool XdndTarget::offersFiles(const XClientMessageEvent& enter) const {
    if (!(enter.data.l[1] & 1)) {
        for (int i = 2; i < 5; ++i)
            if (Atom(enter.data.l[i]) == uriList_) return true;
        return false;
    }
    // More than three types: the source lists them on its window.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    bool offered = false;
    if (XGetWindowProperty(display_, source_, typeList_, 0, 1024, False, XA_ATOM, &type, &format,
                           &count, &remaining, &data) == Success &&
        data && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            offered = offered || atoms[i] == uriList_;
    }
    if (data) XFree(data);
    return offered;
}

void XdndTarget::reply(Atom type, long accepted, long action) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display_;
    event.xclient.window = source_;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(window_);
    event.xclient.data.l[1] = accepted;
    event.xclient.data.l[4] = action; // XdndStatus: the action taken
    if (type == finished_) {
        event.xclient.data.l[2] = action;
        event.xclient.data.l[4] = 0;
    }
    XSendEvent(display_, source_, False, NoEventMask, &event);
    XFlush(display_);
}

bool XdndTarget::handle(const XEvent& event, std::vector<std::string>& dropped, bool& finished) {
    finished = false;
    if (event.type == SelectionNotify) {
        if (event.xselection.requestor != window_ || event.xselection.selection != selection_)
            return false;
        if (event.xselection.property != None) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, remaining = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, window_, property_, 0, 1 << 20, True, AnyPropertyType,
                                   &type, &format, &count, &remaining, &data) == Success &&
                data && format == 8)
                dropped = filePathsOf(std::string(reinterpret_cast<char*>(data), count));
            if (data) XFree(data);
        }
        reply(finished_, dropped.empty() ? 0 : 1, dropped.empty() ? None : long(copy_));
        source_ = None;
        finished = true;
        return true;
    }
    if (event.type != ClientMessage || event.xclient.format != 32) return false;
    const XClientMessageEvent& message = event.xclient;
    const Atom type = message.message_type;
    if (type == enter_) {
        source_ = Window(message.data.l[0]);
        version_ = int(message.data.l[1] >> 24);
        accepting_ = version_ <= kVersion && offersFiles(message);
    } else if (type == position_) {
        if (Window(message.data.l[0]) != source_) return true;
        reply(status_, accepting_ ? 1 : 0, accepting_ ? long(copy_) : None);
    } else if (type == leave_) {
        source_ = None;
        accepting_ = false;
    } else if (type == drop_) {
        if (Window(message.data.l[0]) != source_) return true;
        if (accepting_)
            XConvertSelection(display_, selection_, uriList_, property_, window_,
                              Time(message.data.l[2]));
        else {
            reply(finished_, 0, None);
            source_ = None;
        }
    } else {
        return false;
    }
    return true;
}

} // namespace qub
