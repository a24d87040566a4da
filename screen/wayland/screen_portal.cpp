// xdg-desktop-portal's ScreenCast: CreateSession, SelectSources, Start and
// OpenPipeWireRemote. Each of the first three answers later, through the
// Response signal of a request object whose path follows from our token, so
// the signal is subscribed to before the call. Nothing here waits: the answers
// come through the window's event loop.

#include "screen_portal.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPoint>
#include <optional>
#include <vector>

#include "frame_store.h"
#include "pipewire_streams.h"
#include "restore_token.h"

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr unsigned kMonitors = 1, kCursorAsMetadata = 4, kPersistent = 2;
constexpr unsigned kDeclined = 1;

// What stands in the way, for standard error and for the window.
const Screen::Unreadable kNoPortal{
    "this Wayland desktop has no screen cast portal (xdg-desktop-portal)",
    "Skrivbordet har ingen tjänst för skärmdelning (xdg-desktop-portal), så rutorna behåller "
    "sina färger.\n\nInstallera xdg-desktop-portal och skrivbordets egen portal, eller logga in "
    "i en X11-session."};
const Screen::Unreadable kNoCursor{
    "this desktop's screen cast does not tell where the cursor is, as wlroots desktops such as "
    "sway do not",
    "Skrivbordets skärmdelning talar inte om var muspekaren är (så gör sway och andra "
    "wlroots-skrivbord), så rutorna behåller sina färger.\n\nLogga in i GNOME, KDE Plasma eller "
    "en X11-session för att kunna läsa pixlar."};
const Screen::Unreadable kDeclinedByUser{
    "sharing the screen was declined",
    "Skärmdelningen avböjdes, så rutorna behåller sina färger.\n\nTryck på knappen för att bli "
    "tillfrågad igen."};
const Screen::Unreadable kFailed{
    "the desktop's screen cast failed",
    "Skrivbordets skärmdelning misslyckades, så rutorna behåller sina färger.\n\nTryck på "
    "knappen för att försöka igen."};

class PortalScreen final : public QObject, public Screen {
    Q_OBJECT

public:
    PortalScreen() : bus_(QDBusConnection::sessionBus()), tokenPath_(restoreTokenPath()) {}
    ~PortalScreen() override { endSession(); }

    void expectSample() override {
        sampleDue_ = true;
        if (active_) {
            return;  // asking, or recording already
        }
        active_ = true;
        problem_ = {};
        if (cursorModesChecked_) {
            createSession();
            return;
        }
        // Is there a portal, and does it tell where the cursor is?
        QDBusMessage get = QDBusMessage::createMethodCall(
            kPortal, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << kScreenCast << QStringLiteral("AvailableCursorModes");
        whenAnswered(bus_.asyncCall(get), [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ErrorMessage) {
                return fail(kNoPortal);
            }
            const unsigned modes =
                reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
            if (!(modes & kCursorAsMetadata)) {
                return fail(kNoCursor);
            }
            cursorModesChecked_ = true;
            createSession();
        });
    }

    // The tick works in the pixels of the stream the cursor is on: its reads are
    // physical pixels one apart at any scale.
    void cursorPosition(ScreenPoint& point) override {
        if (!streams_) {
            return;
        }
        streams_->lock();
        cursor_ = store_->cursor();
        if (cursor_) {
            point = {cursor_->x, cursor_->y};
        }
        streams_->unlock();
    }

    // The stream thread stays out while the tick reads; the tick's reads are -1
    // until both the pixels and the cursor are known (no sample around (0, 0)).
    ScreenHandle acquire() override {
        if (!streams_) {
            return nullptr;
        }
        streams_->lock();
        return this;
    }

    ColorValue pixel(ScreenHandle handle, std::int32_t x, std::int32_t y) override {
        return handle == this && cursor_ ? store_->pixel(*cursor_, x, y) : kInvalidColour;
    }

    // The tick is over: so is the recording, until the next sample is due. A
    // dialog the user is still answering stays up: an approval is kept for the
    // next press.
    void release(ScreenHandle handle) override {
        if (handle == this) {
            streams_->unlock();
        }
        cursor_.reset();
        sampleDue_ = false;
        if (streams_) {
            endSession();
        }
    }

    Unreadable whyUnreadable() override { return problem_; }

private slots:
    void onResponse(uint code, const QVariantMap& results) {
        stopListening();
        const auto next = std::move(onAnswer_);
        if (code != 0) {
            return fail(code == kDeclined ? kDeclinedByUser : kFailed);
        }
        next(results);
    }

private:
    void createSession() {
        request(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), token()}},
                [this](const QVariantMap& results) {
                    session_ = results.value(QStringLiteral("session_handle")).toString();
                    selectSources();
                });
    }

    void selectSources() {
        QVariantMap options{{QStringLiteral("types"), kMonitors},
                            {QStringLiteral("multiple"), true},
                            {QStringLiteral("cursor_mode"), kCursorAsMetadata},
                            {QStringLiteral("persist_mode"), kPersistent}};
        if (const std::string saved = loadRestoreToken(tokenPath_); !saved.empty()) {
            options.insert(QStringLiteral("restore_token"), QString::fromStdString(saved));
        }
        request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(session_))},
                options, [this](const QVariantMap&) { startCast(); });
    }

    void startCast() {
        request(QStringLiteral("Start"),
                {QVariant::fromValue(QDBusObjectPath(session_)), QString()}, {},
                [this](const QVariantMap& results) {
                    // Kept at once: the program may be ended by a signal at any time.
                    const QString token = results.value(QStringLiteral("restore_token")).toString();
                    if (!token.isEmpty()) {
                        saveRestoreToken(tokenPath_, token.toStdString());
                    }
                    if (sampleDue_) {
                        openStreams(results.value(QStringLiteral("streams")));
                    } else {
                        endSession();
                    }
                });
    }

    void openStreams(const QVariant& streams) {
        std::vector<MonitorRect> monitors;
        std::vector<std::uint32_t> nodes;
        const QDBusArgument list = streams.value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            uint node = 0;
            QVariantMap properties;
            list.beginStructure();
            list >> node >> properties;
            list.endStructure();
            const QPoint at = pair(properties.value(QStringLiteral("position")));
            const QPoint size = pair(properties.value(QStringLiteral("size")));
            monitors.push_back({at.x(), at.y(), size.x(), size.y()});
            nodes.push_back(node);
        }
        list.endArray();
        QDBusMessage open = QDBusMessage::createMethodCall(kPortal, kPortalPath, kScreenCast,
                                                           QStringLiteral("OpenPipeWireRemote"));
        open << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap();
        whenAnswered(bus_.asyncCall(open), [this, monitors, nodes](const QDBusMessage& reply) {
            const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
            if (reply.type() == QDBusMessage::ErrorMessage || !fd.isValid() || session_.isEmpty()) {
                return fail(kFailed);
            }
            store_ = std::make_unique<FrameStore>(monitors);
            streams_ = std::make_unique<PipeWireStreams>(
                fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3), nodes, *store_);
            if (!streams_->connected()) {
                fail(kFailed);
            }
        });
    }

    static QPoint pair(const QVariant& value) {
        int a = 0, b = 0;
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginStructure();
        argument >> a >> b;
        argument.endStructure();
        return {a, b};
    }

    // A portal method whose answer is the Response signal of a request object.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 std::function<void(const QVariantMap&)> onAnswer) {
        const QString handle = token();
        QString sender = bus_.baseService().mid(1);
        sender.replace('.', '_');
        requestPath_ =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, handle);
        onAnswer_ = std::move(onAnswer);
        bus_.connect(kPortal, requestPath_, kRequest, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
        options.insert(QStringLiteral("handle_token"), handle);
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPortal, kPortalPath, kScreenCast, method);
        call.setArguments(arguments << options);
        whenAnswered(bus_.asyncCall(call), [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ErrorMessage) {
                fail(kFailed);
            }
        });
    }

    void whenAnswered(const QDBusPendingCall& call, std::function<void(const QDBusMessage&)> then) {
        auto* watcher = new QDBusPendingCallWatcher(call, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [then = std::move(then)](QDBusPendingCallWatcher* w) {
                    then(w->reply());
                    w->deleteLater();
                });
    }

    QString token() { return QStringLiteral("pixel_sampler_%1").arg(++tokens_); }

    void fail(const Unreadable& why) {
        endSession();
        problem_ = why;
        if (problemFound) {
            problemFound();
        }
    }

    // No more answers from the request under way, if there is one.
    void stopListening() {
        if (!requestPath_.isEmpty()) {
            bus_.disconnect(kPortal, requestPath_, kRequest, QStringLiteral("Response"), this,
                            SLOT(onResponse(uint, QVariantMap)));
            requestPath_.clear();
        }
    }

    void endSession() {
        active_ = false;
        streams_.reset();
        store_.reset();
        stopListening();
        if (!session_.isEmpty()) {
            bus_.asyncCall(QDBusMessage::createMethodCall(
                kPortal, session_, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Close")));
            session_.clear();
        }
    }

    QDBusConnection bus_;
    std::string tokenPath_;
    bool cursorModesChecked_ = false;
    bool active_ = false;                            // a session is being set up or records
    bool sampleDue_ = false;                         // from expectSample() to the end of the tick
    std::optional<FrameStore::StreamPoint> cursor_;  // the tick's, in its stream's pixels
    int tokens_ = 0;
    QString requestPath_;
    std::function<void(const QVariantMap&)> onAnswer_;
    QString session_;
    std::unique_ptr<FrameStore> store_;
    std::unique_ptr<PipeWireStreams> streams_;
    Unreadable problem_;
};

}  // namespace

std::unique_ptr<Screen> openPortalScreen() {
    return std::make_unique<PortalScreen>();
}

#include "screen_portal.moc"
