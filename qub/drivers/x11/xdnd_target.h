#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace qub {

// The receiving end of the XDND protocol for one window: it offers to copy
// file lists ("text/uri-list"), fetches them when they are dropped, and gives
// their local paths. A source that vanishes midway leaves nothing behind:
// the replies to it fail harmlessly (see x11_errors.h).
class XdndTarget {
  public:
    XdndTarget(Display* display, Window window);

    // Takes the protocol's client messages and the selection's arrival; true
    // when the event was one of them. `dropped` then holds the paths of a
    // finished drop (possibly none).
    bool handle(const XEvent& event, std::vector<std::string>& dropped, bool& finished);

  private:
    void reply(Atom type, long accepted, long action);
    bool offersFiles(const XClientMessageEvent& enter) const;

    Display* display_;
    Window window_;
    Atom aware_, enter_, position_, status_, leave_, drop_, finished_, selection_, typeList_,
        uriList_, copy_, property_;
    Window source_ = None;
    int version_ = 0;
    bool accepting_ = false;
};

} // namespace qub
