// The station program on a real X server with no tray and no window manager: "Call" and
// "Send SMS" opened from the main window's menu and closed from the title bar; the main window
// must be mapped again after each.
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

namespace {
// A second client on the display that sees which top-level windows are mapped and closes one
// as a window manager's close button does.
class Desktop
{
public:
    explicit Desktop(const QByteArray &display) : m_c(xcb_connect(display.constData(), nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_protocols = atom("WM_PROTOCOLS");
        m_delete = atom("WM_DELETE_WINDOW");
    }
    ~Desktop() { xcb_disconnect(m_c); }

    // The mapped top-level window with this title, or 0.
    xcb_window_t mapped(const QByteArray &title)
    {
        auto *tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, m_root), nullptr);
        xcb_window_t found = 0;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree) && !found; ++i) {
            const xcb_window_t w = xcb_query_tree_children(tree)[i];
            auto *attr = xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, w),
                                                         nullptr);
            auto *name = xcb_get_property_reply(
                m_c, xcb_get_property(m_c, 0, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 64),
                nullptr);
            if (attr && name && attr->map_state == XCB_MAP_STATE_VIEWABLE &&
                QByteArray(static_cast<const char *>(xcb_get_property_value(name)),
                           xcb_get_property_value_length(name)) == title)
                found = w;
            free(attr);
            free(name);
        }
        free(tree);
        return found;
    }
    // Waits on the display's map and unmap notifications.
    bool waitFor(const QByteArray &title, bool shown, int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        QSocketNotifier events(xcb_get_file_descriptor(m_c), QSocketNotifier::Read);
        QObject::connect(&events, &QSocketNotifier::activated, &loop, [&] {
            while (xcb_generic_event_t *e = xcb_poll_for_event(m_c))
                free(e);
            if ((mapped(title) != 0) == shown)
                loop.quit();
        });
        if ((mapped(title) != 0) != shown)
            loop.exec();
        return (mapped(title) != 0) == shown;
    }
    void close(xcb_window_t w)
    {
        xcb_client_message_event_t e = {};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = m_protocols;
        e.data.data32[0] = m_delete;
        xcb_send_event(m_c, false, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&e));
        xcb_flush(m_c);
    }

private:
    xcb_atom_t atom(const char *name)
    {
        auto *r = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name),
                                        nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    }
    xcb_connection_t *m_c;
    xcb_window_t m_root;
    xcb_atom_t m_protocols, m_delete;
};
} // namespace

class XvfbTest : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowMappedAgainAfterEachChildWindow()
    {
        const QString xvfbPath = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfbPath.isEmpty() || xdotool.isEmpty())
            QSKIP("Xvfb and xdotool are needed (scripts/deps.sh installs them)");
        QTemporaryDir tmp;
        // The server picks a free display and writes its number on standard output.
        QProcess xvfb;
        xvfb.start(xvfbPath, {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        QByteArray number;
        while (!number.contains('\n') && xvfb.waitForReadyRead(10000))
            number += xvfb.readAllStandardOutput();
        QVERIFY2(number.contains('\n'), "Xvfb gave no display number");
        const QByteArray display = ':' + number.trimmed();
        auto stopXvfb = qScopeGuard([&] { xvfb.terminate(), xvfb.waitForFinished(5000); });

        // Everything started from here on plays on that display.
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        station.setProcessEnvironment(env);
        station.start(QStringLiteral(GSMSTATION),
                      {"--simulate", "--verbose", "--language", "source", "--home",
                       QDir(tmp.path()).filePath("prog")});
        auto stopStation = qScopeGuard([&] { station.kill(), station.waitForFinished(5000); });
        // "Call" and "Send SMS" are usable once the modem is registered.
        QByteArray out;
        while (!out.contains("status: signal") && station.waitForReadyRead(60000))
            out += station.readAllStandardOutput();
        QVERIFY2(out.contains("status: signal"), out.constData());

        Desktop desk(display);
        QVERIFY2(desk.waitFor("GSM STATUS", true, 10000), "the main window is not shown");
        auto user = [&](const QStringList &args) {
            QProcess p;
            p.start(xdotool, args);
            return p.waitForFinished(10000) && p.exitCode() == 0;
        };
        // From the popup menu, past "DataBase" to the entry.
        const QList<QPair<QByteArray, int>> children{{"Call", 2}, {"Send sms", 3}};
        for (const auto &[title, downs] : children) {
            const QString main = QString::number(desk.mapped("GSM STATUS"));
            QVERIFY(user({"mousemove", "--window", main, "30", "30", "click", "3"}));
            QVERIFY(user(QStringList{"key", "--delay", "100"} + QStringList(downs, "Down") +
                         QStringList{"Return"}));
            QVERIFY2(desk.waitFor(title, true, 10000), title);
            QVERIFY(desk.waitFor("GSM STATUS", false, 5000));
            desk.close(desk.mapped(title));
            QVERIFY2(desk.waitFor(title, false, 5000), title);
            QVERIFY2(desk.waitFor("GSM STATUS", true, 5000), "main window lost after " + title);
        }
    }
};

QTEST_GUILESS_MAIN(XvfbTest)
#include "tst_xvfb.moc"
