#include "wmharness.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/prctl.h>

namespace wm {

namespace {

// How long the server and the window manager get to come up on a loaded machine.
constexpr int startTimeoutMs = 20000;

// Replies from xcb are malloc'ed and freed by the caller.
template <typename T> struct Reply {
    T* p = nullptr;
    explicit Reply(T* r)
        : p(r)
    {
    }
    ~Reply() { std::free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class Connection {
public:
    explicit Connection(const QByteArray& display)
        : c_(xcb_connect(display.constData(), &screenNumber_))
    {
    }
    ~Connection() { xcb_disconnect(c_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return c_ && !xcb_connection_has_error(c_); }
    xcb_connection_t* get() const { return c_; }

    xcb_window_t root() const
    {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
        for (int i = 0; i < screenNumber_ && it.rem; ++i)
            xcb_screen_next(&it);
        return it.data ? it.data->root : 0;
    }

    xcb_atom_t atom(const char* name) const
    {
        Reply<xcb_intern_atom_reply_t> r(
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(qstrlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    QString atomName(xcb_atom_t a) const
    {
        Reply<xcb_get_atom_name_reply_t> r(xcb_get_atom_name_reply(c_, xcb_get_atom_name(c_, a), nullptr));
        if (!r)
            return {};
        return QString::fromLatin1(xcb_get_atom_name_name(r.p), xcb_get_atom_name_name_length(r.p));
    }

    // The 32-bit items of a property (windows, atoms, cardinals).
    std::optional<std::vector<std::uint32_t>> property32(xcb_window_t w, xcb_atom_t name) const
    {
        Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr));
        if (!r || r->type == XCB_ATOM_NONE || r->format != 32)
            return std::nullopt;
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(r.p));
        return std::vector<std::uint32_t>(data, data + xcb_get_property_value_length(r.p) / 4);
    }

private:
    int screenNumber_ = 0;
    xcb_connection_t* c_;
};

// One connection for the checks, opened on first use (after the desktop is up).
Connection& connection()
{
    static Connection c(qgetenv("DISPLAY"));
    return c;
}

void endWithParent()
{
    // The server and the window manager must not outlive a crashed test.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

void stop(std::unique_ptr<QProcess>& p)
{
    if (!p || p->state() == QProcess::NotRunning)
        return;
    p->terminate();
    if (!p->waitForFinished(5000)) {
        p->kill();
        p->waitForFinished(5000);
    }
}

}  // namespace

Desktop::Desktop()
{
    if (startServer())
        startWindowManager();
}

Desktop::~Desktop()
{
    stop(windowManager_);
    stop(server_);
}

bool Desktop::startServer()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        reason_ = QStringLiteral("Xvfb is not installed");
        return false;
    }
    server_ = std::make_unique<QProcess>();
    server_->setChildProcessModifier(endWithParent);
    server_->setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd picks a free display and writes its number once the server
    // accepts connections, so parallel tests never collide.
    server_->start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp"), QStringLiteral("-noreset")});
    QDeadlineTimer deadline(startTimeoutMs);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && server_->state() != QProcess::NotRunning) {
        server_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += server_->readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok) {
        reason_ = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(server_->readAllStandardError());
        return false;
    }
    display_ = QStringLiteral(":%1").arg(number);
    return true;
}

bool Desktop::startWindowManager()
{
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty()) {
        reason_ = QStringLiteral("openbox is not installed");
        return false;
    }
    Connection c(display_.toLocal8Bit());
    if (!c.ok()) {
        reason_ = QStringLiteral("cannot connect to the X server on ") + display_;
        return false;
    }
    const xcb_window_t root = c.root();
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c.get(), root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c.get());

    windowManager_ = std::make_unique<QProcess>();
    windowManager_->setChildProcessModifier(endWithParent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    windowManager_->setProcessEnvironment(env);
    windowManager_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    windowManager_->start(openbox, {QStringLiteral("--sm-disable")});

    // The window manager is ready once it names itself on the root window.
    const xcb_atom_t check = c.atom("_NET_SUPPORTING_WM_CHECK");
    QDeadlineTimer deadline(startTimeoutMs);
    while (!c.property32(root, check)) {
        if (deadline.hasExpired() || windowManager_->state() == QProcess::NotRunning) {
            reason_ = QStringLiteral("openbox did not start on ") + display_;
            return false;
        }
        pollfd fd{xcb_get_file_descriptor(c.get()), POLLIN, 0};
        poll(&fd, 1, int(qMin<qint64>(deadline.remainingTime(), 200)));
        while (xcb_generic_event_t* e = xcb_poll_for_event(c.get()))
            std::free(e);
    }
    return true;
}

std::vector<Window> stacking()
{
    Connection& c = connection();
    return c.property32(c.root(), c.atom("_NET_CLIENT_LIST_STACKING")).value_or(std::vector<Window>{});
}

int stackingIndex(Window w)
{
    const std::vector<Window> order = stacking();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == w)
            return int(i);
    return -1;
}

Window transientFor(Window w)
{
    const auto v = connection().property32(w, XCB_ATOM_WM_TRANSIENT_FOR);
    return v && !v->empty() ? v->front() : 0;
}

std::optional<std::uint32_t> cardinal(Window w, const char* property)
{
    const auto v = connection().property32(w, connection().atom(property));
    if (!v || v->empty())
        return std::nullopt;
    return v->front();
}

QStringList atoms(Window w, const char* property)
{
    Connection& c = connection();
    QStringList names;
    for (std::uint32_t a : c.property32(w, c.atom(property)).value_or(std::vector<std::uint32_t>{}))
        names << c.atomName(a);
    return names;
}

bool viewable(Window w)
{
    xcb_connection_t* c = connection().get();
    Reply<xcb_get_window_attributes_reply_t> r(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
    return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
}

QRect frameRect(Window w)
{
    xcb_connection_t* c = connection().get();
    const xcb_window_t root = connection().root();
    // Walk up to the root's child: the window manager's frame.
    xcb_window_t top = w;
    for (;;) {
        Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
        if (!t || t->parent == root || t->parent == XCB_WINDOW_NONE)
            break;
        top = t->parent;
    }
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, top), nullptr));
    if (!g)
        return {};
    Reply<xcb_translate_coordinates_reply_t> pos(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, top, root, 0, 0), nullptr));
    const int bw = g->border_width;
    return QRect(pos ? pos->dst_x - bw : g->x, pos ? pos->dst_y - bw : g->y, g->width + 2 * bw, g->height + 2 * bw);
}

Window windowOf(const QWidget* widget)
{
    return Window(widget->window()->winId());
}

}  // namespace wm
