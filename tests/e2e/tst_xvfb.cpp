// The station program on a real X server without a notification area (Xvfb, no window
// manager): the operator opens "Call" and "Send SMS" from the main window's menu and closes
// them from the title bar; the main window must be mapped again after each.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

namespace {
// A second client on the display: sees which top-level windows are mapped, as a window manager
// would, and asks one to close as the title bar's close button does.
class Desktop
{
public:
    explicit Desktop(const QByteArray &display)
    {
        m_c = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_protocols = atom("WM_PROTOCOLS");
        m_delete = atom("WM_DELETE_WINDOW");
        m_netName = atom("_NET_WM_NAME");
        m_utf8 = atom("UTF8_STRING");
        xcb_flush(m_c);
    }
    ~Desktop()
    {
        if (m_c)
            xcb_disconnect(m_c);
    }
    bool ok() const { return m_c && !xcb_connection_has_error(m_c); }

    // The mapped top-level window with this title, or 0.
    xcb_window_t mapped(const QString &title)
    {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, m_root), nullptr);
        if (!tree)
            return 0;
        xcb_window_t found = 0;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            auto *attr = xcb_get_window_attributes_reply(
                m_c, xcb_get_window_attributes(m_c, children[i]), nullptr);
            const bool viewable = attr && attr->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attr);
            if (viewable && name(children[i]) == title)
                found = children[i];
        }
        free(tree);
        return found;
    }

    // Waits, on the display's own notifications, until the window is mapped (or unmapped).
    bool waitFor(const QString &title, bool shown, int ms)
    {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QSocketNotifier events(xcb_get_file_descriptor(m_c), QSocketNotifier::Read);
        auto judge = [&] {
            while (xcb_generic_event_t *e = xcb_poll_for_event(m_c))
                free(e);
            if ((mapped(title) != 0) == shown)
                loop.quit();
        };
        QObject::connect(&events, &QSocketNotifier::activated, &loop, judge);
        if ((mapped(title) != 0) == shown)
            return true;
        timeout.start(ms);
        loop.exec();
        return (mapped(title) != 0) == shown;
    }

    // The title bar's close button: the window manager's WM_DELETE_WINDOW message.
    void close(xcb_window_t w)
    {
        xcb_client_message_event_t e = {};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = m_protocols;
        e.data.data32[0] = m_delete;
        e.data.data32[1] = XCB_CURRENT_TIME;
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
    QString name(xcb_window_t w)
    {
        auto *r = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, m_netName, m_utf8, 0, 256), nullptr);
        QString n;
        if (r)
            n = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(r)),
                                  xcb_get_property_value_length(r));
        free(r);
        return n;
    }

    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_protocols = 0, m_delete = 0, m_netName = 0, m_utf8 = 0;
};

// A program run to its end (xdotool).
bool run(const QString &program, const QStringList &args, const QByteArray &display)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    p.setProcessEnvironment(env);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

class XvfbTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (m_xvfb.isEmpty() || m_xdotool.isEmpty())
            QSKIP("Xvfb and xdotool are needed (scripts/deps.sh installs them)");
    }

    void mainWindowMappedAgainAfterEachChildWindow()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        // The server picks a free display and writes its number on standard output.
        QProcess xvfb;
        xvfb.start(m_xvfb, {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        QVERIFY(xvfb.waitForStarted(5000));
        QByteArray number;
        while (!number.contains('\n') && xvfb.waitForReadyRead(10000))
            number += xvfb.readAllStandardOutput();
        QVERIFY2(number.contains('\n'), "Xvfb gave no display number");
        const QByteArray display = ':' + number.trimmed();
        auto stopXvfb = qScopeGuard([&] {
            xvfb.terminate();
            xvfb.waitForFinished(5000);
        });

        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        station.setProcessEnvironment(env);
        station.setProcessChannelMode(QProcess::MergedChannels);
        station.start(QStringLiteral(GSMSTATION),
                      {"--simulate", "--verbose", "--home", QDir(tmp.path()).filePath("prog")});
        auto stopStation = qScopeGuard([&] {
            station.kill();
            station.waitForFinished(5000);
        });
        // "Call" and "Send SMS" are usable once the modem is registered.
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains("status: signal") && clock.elapsed() < 60000 &&
               station.waitForReadyRead(60000))
            out += station.readAll();
        QVERIFY2(out.contains("status: signal"), out.constData());

        Desktop desk(display);
        QVERIFY(desk.ok());
        QVERIFY2(desk.waitFor("GSM STATUS", true, 10000), "the main window is not shown");
        const struct
        {
            const char *title;
            QStringList keys; // from the popup menu: past "DataBase" to the entry
        } children[] = {{"Call", {"Down", "Down", "Return"}},
                        {"Send sms", {"Down", "Down", "Down", "Return"}}};
        for (const auto &child : children) {
            const QString main = QString::number(desk.mapped("GSM STATUS"));
            QVERIFY(run(m_xdotool, {"mousemove", "--window", main, "30", "30", "click", "3"},
                        display));
            QVERIFY(run(m_xdotool, QStringList{"key", "--delay", "100"} + child.keys, display));
            QVERIFY2(desk.waitFor(child.title, true, 10000), child.title);
            QVERIFY2(desk.waitFor("GSM STATUS", false, 5000), "the main window stayed up");

            desk.close(desk.mapped(child.title));
            QVERIFY2(desk.waitFor(child.title, false, 5000), child.title);
            QVERIFY2(desk.waitFor("GSM STATUS", true, 5000),
                     qPrintable(QStringLiteral("the main window is lost after \"%1\"")
                                    .arg(child.title)));
        }
        QVERIFY(station.state() == QProcess::Running);
    }

private:
    QString m_xvfb, m_xdotool;
};

QTEST_GUILESS_MAIN(XvfbTest)
#include "tst_xvfb.moc"
