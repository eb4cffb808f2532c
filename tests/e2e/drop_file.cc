// drop_file WINDOW-ID X Y PATH: drops one file on an X11 window at (X, Y)
// of that window, as a file manager does through the XDND protocol (version
// 5, the file as a text/uri-list of one file: URL), for the end-to-end test.
// Exits 0 once the window has finished the drop, 1 when it refused it or
// did not answer within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "x_tool.hpp"

namespace {

constexpr long kXdndVersion = 5;
constexpr auto kPatience = std::chrono::seconds(10);

struct Atoms {
  Atom aware, selection, enter, position, status, drop, finished, copy, uri_list;
};

Atoms Intern(Display* d) {
  auto a = [d](const char* name) { return XInternAtom(d, name, False); };
  return {a("XdndAware"),  a("XdndSelection"), a("XdndEnter"),      a("XdndPosition"), a("XdndStatus"),
          a("XdndDrop"),   a("XdndFinished"),  a("XdndActionCopy"), a("text/uri-list")};
}

void Send(Display* d, Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
  x_tool::SendClientMessage(d, target, type, {l0, l1, l2, l3, l4});
}

// Hands the file list to whoever asks for the drop selection.
void Answer(Display* d, const XSelectionRequestEvent& req, const Atoms& atoms, const std::string& uris) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = req.requestor;
  reply.xselection.selection = req.selection;
  reply.xselection.target = req.target;
  reply.xselection.time = req.time;
  reply.xselection.property = None;
  if (req.target == atoms.uri_list) {
    const Atom property = req.property != None ? req.property : req.target;
    XChangeProperty(d, req.requestor, property, atoms.uri_list, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
    reply.xselection.property = property;
  }
  XSendEvent(d, req.requestor, False, NoEventMask, &reply);
  XFlush(d);
}

// Waits for the next event, giving up at `deadline`.
bool NextEvent(Display* d, XEvent* ev, std::chrono::steady_clock::time_point deadline) {
  while (XPending(d) == 0) {
    using std::chrono::milliseconds;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pfd{ConnectionNumber(d), POLLIN, 0};
    poll(&pfd, 1, static_cast<int>(left.count()));
  }
  XNextEvent(d, ev);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: drop_file WINDOW-ID X Y PATH\n");
    return 2;
  }
  const x_tool::Connection connection("drop_file");
  const auto parsed = x_tool::ParseWindowId("drop_file", argv[1]);
  if (!connection || !parsed) return 1;
  Display* d = connection.get();
  const Window target = *parsed;
  const Atoms atoms = Intern(d);
  const std::string uris = std::string("file://") + argv[4] + "\r\n";
  const Window root = DefaultRootWindow(d);
  const Window source = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
  const long version = kXdndVersion;
  XChangeProperty(d, source, atoms.aware, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&version), 1);
  XSetSelectionOwner(d, atoms.selection, source, CurrentTime);

  int root_x = 0, root_y = 0;
  Window child = None;
  XTranslateCoordinates(d, target, root, std::atoi(argv[2]), std::atoi(argv[3]), &root_x, &root_y, &child);
  const auto src = static_cast<long>(source);
  Send(d, target, atoms.enter, src, kXdndVersion << 24, static_cast<long>(atoms.uri_list), None, None);
  Send(d, target, atoms.position, src, 0, (static_cast<long>(root_x) << 16) | root_y, CurrentTime,
       static_cast<long>(atoms.copy));

  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  bool dropped = false;
  XEvent ev;
  while (NextEvent(d, &ev, deadline)) {
    if (ev.type == SelectionRequest) {
      Answer(d, ev.xselectionrequest, atoms, uris);
    } else if (ev.type == ClientMessage && ev.xclient.message_type == atoms.status && !dropped) {
      if ((ev.xclient.data.l[1] & 1) == 0) {
        std::fprintf(stderr, "drop_file: the window refuses the drop\n");
        break;
      }
      Send(d, target, atoms.drop, src, 0, CurrentTime, 0, 0);
      dropped = true;
    } else if (ev.type == ClientMessage && ev.xclient.message_type == atoms.finished) {
      return 0;
    }
  }
  if (dropped) std::fprintf(stderr, "drop_file: the drop did not finish\n");
  return 1;
}
