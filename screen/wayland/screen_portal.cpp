// xdg-desktop-portal's ScreenCast: CreateSession, SelectSources, Start and
// OpenPipeWireRemote. Each of the first three answers later, through the
// Response signal of a request object whose path follows from our token, so
// the signal is subscribed to before the call. Nothing here waits: the answers
// come through the window's event loop.
//
// A session lives from a sample becoming due to its tick. Every step but the
// user's dialog has a time limit; the portal leaving the bus, the session
// closed from the desktop, a stream's failure or any error ends the session,
// and the next press starts afresh. An answer that comes after the tick ends
// the session instead of going on (an approval given then is still kept).

#include "screen_portal.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QTimer>
#include <algorithm>
#include <cstdio>
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
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
constexpr unsigned kMonitors = 1, kCursorAsMetadata = 4, kPersistent = 2;
constexpr unsigned kDeclined = 1;
// Cursor metadata came with version 2, approvals that are kept with version 4.
constexpr unsigned kLeastVersion = 2, kKeptVersion = 4;
// Long enough for a portal started on demand on a busy machine, short enough
// that a portal that never answers is said while the user still waits.
constexpr int kStepLimitMs = 10000;
// While a stream records, the desktop copies frames and repaints for every
// cursor move: the streams record until each has given a frame (a first look,
// which says at once whether the cast works), rest, and record again this long
// before the tick (a desktop takes 100 to 400 ms to send a frame again).
constexpr int kWakeMs = 700;
// A desktop agrees a format with a stream within milliseconds of its opening,
// busy machine or not (GNOME: under 20 ms beside a parallel build); one that
// offers none the reader takes never does.
constexpr int kAgreeMs = 1000;

// What stands in the way, for standard error and for the window.
const Screen::Unreadable kNoPortal{
    "this Wayland desktop has no screen cast portal (xdg-desktop-portal)",
    "Skrivbordet har ingen tjänst för skärmdelning (xdg-desktop-portal), så rutorna behåller "
    "sina färger.\n\nInstallera xdg-desktop-portal och skrivbordets egen portal, eller logga in "
    "i en X11-session."};
const Screen::Unreadable kNoCursor{
    "this desktop's screen cast does not tell where the cursor is, and the desktop offers no "
    "wlroots screen copy",
    "Skrivbordets skärmdelning talar inte om var muspekaren är, och skrivbordet kan inte heller "
    "kopiera skärmen åt programmet, så rutorna behåller sina färger.\n\nLogga in i GNOME, KDE "
    "Plasma, sway eller en X11-session för att kunna läsa pixlar."};
const Screen::Unreadable kDeclinedByUser{
    "sharing the screen was declined",
    "Skärmdelningen avböjdes, så rutorna behåller sina färger.\n\nTryck på knappen för att bli "
    "tillfrågad igen."};
const Screen::Unreadable kFailed{
    "the desktop's screen cast failed",
    "Skrivbordets skärmdelning misslyckades, så rutorna behåller sina färger.\n\nTryck på "
    "knappen för att försöka igen."};
const Screen::Unreadable kPortalGone{
    "the desktop's screen cast portal went away",
    "Skrivbordets tjänst för skärmdelning avslutades, så rutorna behåller sina färger.\n\nTryck "
    "på knappen för att försöka igen."};
const Screen::Unreadable kNoAnswer{
    "the desktop's screen cast portal did not answer",
    "Skrivbordets tjänst för skärmdelning svarade inte, så rutorna behåller sina färger.\n\nTryck "
    "på knappen för att försöka igen."};
const Screen::Unreadable kStopped{
    "sharing the screen was stopped from the desktop",
    "Skärmdelningen stoppades från skrivbordet, så rutorna behåller sina färger.\n\nTryck på "
    "knappen för att dela skärmen igen."};

Screen::Unreadable tooOld(unsigned version) {
    const std::string v = std::to_string(version);
    return {"this desktop's screen cast portal is too old (version " + v + ", " +
                std::to_string(kLeastVersion) + " or later is needed)",
            "Skrivbordets tjänst för skärmdelning är för gammal (version " + v + ", minst " +
                std::to_string(kLeastVersion) +
                " behövs), så rutorna behåller sina färger.\n\nUppdatera xdg-desktop-portal, "
                "eller logga in i en X11-session."};
}

Screen::Unreadable streamFailed(const std::string& words) {
    return {"the screen cast's stream failed: " + words,
            "Skrivbordets skärmdelning misslyckades (" + words +
                "), så rutorna behåller sina färger.\n\nTryck på knappen för att försöka igen."};
}

class PortalScreen final : public QObject, public Screen {
    Q_OBJECT

public:
    PortalScreen() : bus_(QDBusConnection::sessionBus()), tokenPath_(restoreTokenPath()) {
        stepLimit_.setSingleShot(true);
        stepLimit_.setInterval(kStepLimitMs);
        connect(&stepLimit_, &QTimer::timeout, this, [this] { fail(kNoAnswer); });
        wake_.setSingleShot(true);
        connect(&wake_, &QTimer::timeout, this, [this] {
            if (streams_) {
                streams_->setActive(true);
            }
        });
        // An upgrade or a crash of the portal takes its sessions and dialogs with it.
        auto* watcher = new QDBusServiceWatcher(kPortal, bus_,
                                                QDBusServiceWatcher::WatchForUnregistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            if (active_) {
                fail(kPortalGone);
            }
        });
    }
    ~PortalScreen() override { endSession(); }

    void expectSample(int msUntilTick) override {
        sampleDue_ = true;
        tickDue_.setRemainingTime(msUntilTick);
        if (streams_ && msUntilTick > kWakeMs) {
            // Recording already: rest until shortly before the new tick.
            streams_->setActive(false);
            wake_.start(msUntilTick - kWakeMs);
        }
        if (active_) {
            return;  // asking, or recording already
        }
        active_ = true;
        tokenRefused_ = false;
        problem_ = {};
        if (portalChecked_) {
            createSession();
            return;
        }
        // Is there a portal, new enough, and does it tell where the cursor is?
        QDBusMessage get = QDBusMessage::createMethodCall(
            kPortal, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("GetAll"));
        get << kScreenCast;
        step(bus_.asyncCall(get), [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ErrorMessage) {
                return fail(kNoPortal);
            }
            const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
            const unsigned version = properties.value(QStringLiteral("version")).toUInt();
            if (version < kLeastVersion) {
                return fail(tooOld(version));
            }
            if (!(properties.value(QStringLiteral("AvailableCursorModes")).toUInt() &
                  kCursorAsMetadata)) {
                return fail(kNoCursor);
            }
            portalChecked_ = true;
            keepsApproval_ = version >= kKeptVersion;
            if (!keepsApproval_) {
                std::fprintf(stderr,
                             "pixel-sampler: this desktop's screen cast portal (version %u) cannot "
                             "keep an approval: the desktop asks at every sample\n",
                             version);
            }
            if (!sampleDue_) {
                return endSession();  // the tick has passed: nothing to ask for
            }
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
        return handle == this ? store_->pixel(cursor_, x, y) : kInvalidColour;
    }

    // The tick is over: so is the recording, until the next sample is due. A
    // dialog the user is still answering stays up: its answer ends the session,
    // and an approval is kept for the next press.
    void release(ScreenHandle handle) override {
        if (handle == this) {
            streams_->unlock();
        }
        cursor_.reset();
        sampleDue_ = false;
        if (!streams_) {
            return;
        }
        // The stream of a desktop that offers no format the reader takes just
        // waits, without a word from PipeWire: a tick that found no format long
        // after the streams opened says so (a slow desktop is still read).
        if (streamsOpened_.hasExpired(kAgreeMs) && !streams_->formatsAgreed()) {
            return fail(
                streamFailed("the desktop never started the stream: no video format "
                             "both sides take, or nothing connected it"));
        }
        endSession();
    }

    Unreadable whyUnreadable() override { return problem_; }

private slots:
    void onResponse(uint code, const QVariantMap& results, const QDBusMessage& message) {
        const QString handed = results.value(QStringLiteral("session_handle")).toString();
        // A session handed out for a request given up is closed at once.
        if (orphans_.removeOne(message.path())) {
            unsubscribe(message.path());
            return closeSession(code == 0 ? handed : QString());
        }
        // An answer queued before its request was given up is not this one's.
        if (!active_ || message.path() != requestPath_) {
            return;
        }
        stopListening();
        stepLimit_.stop();
        if (!handed.isEmpty()) {
            session_ = handed;  // closed however the session ends from here on
        }
        const auto next = std::move(onAnswer_);
        onAnswer_ = nullptr;
        if (code != 0) {
            // Declined by the user (1), or ended some other way (2): a kept
            // approval the portal refuses ends that way.
            return code == kDeclined ? fail(kDeclinedByUser) : requestFailed();
        }
        // Kept at once, whenever it comes: the program may be ended by a signal at any time.
        if (const QString approval = results.value(QStringLiteral("restore_token")).toString();
            !approval.isEmpty()) {
            if (const std::string why = saveRestoreToken(tokenPath_, approval.toStdString());
                !why.empty()) {
                std::fprintf(stderr,
                             "pixel-sampler: the approval to share the screen is not kept: %s\n",
                             why.c_str());
            }
        }
        if (!sampleDue_) {
            return endSession();  // the tick has passed: nothing to record for
        }
        next(results);
    }

    void onSessionClosed() {
        if (active_) {
            fail(kStopped);
        }
    }

private:
    void createSession() {
        tokenSent_ = false;
        request(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), token()}}, [this](const QVariantMap&) {
                    // The user may stop sharing from the desktop's indicator.
                    bus_.connect(kPortal, session_, kSession, QStringLiteral("Closed"), this,
                                 SLOT(onSessionClosed()));
                    selectSources();
                });
    }

    void selectSources() {
        QVariantMap options{{QStringLiteral("types"), kMonitors},
                            {QStringLiteral("multiple"), true},
                            {QStringLiteral("cursor_mode"), kCursorAsMetadata}};
        if (keepsApproval_) {
            options.insert(QStringLiteral("persist_mode"), kPersistent);
        }
        const std::string saved =
            tokenRefused_ || !keepsApproval_ ? std::string() : loadRestoreToken(tokenPath_);
        tokenSent_ = !saved.empty();
        if (tokenSent_) {
            options.insert(QStringLiteral("restore_token"), QString::fromStdString(saved));
        }
        request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(session_))},
                options, [this](const QVariantMap&) { startCast(); });
    }

    void startCast() {
        // Only the user's dialog may take its time: the limit ends with the call's reply.
        request(
            QStringLiteral("Start"),
            {QVariant::fromValue(QDBusObjectPath(session_)), QString::fromStdString(parentWindow)},
            {},
            [this](const QVariantMap& results) {
                openStreams(results.value(QStringLiteral("streams")));
            },
            /*dialog=*/true);
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
        step(bus_.asyncCall(open), [this, monitors, nodes](const QDBusMessage& reply) {
            const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
            if (reply.type() == QDBusMessage::ErrorMessage || !fd.isValid()) {
                return fail(kFailed);
            }
            if (!sampleDue_) {
                return endSession();
            }
            store_ = std::make_unique<FrameStore>(monitors);
            // The stream thread's word comes to this thread, for this session only.
            const int session = sessions_;
            streams_ = std::make_unique<PipeWireStreams>(
                fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3), nodes, *store_,
                [this, session](const std::string& words) {
                    QMetaObject::invokeMethod(this, [this, session, words] {
                        if (session == sessions_ && active_) {
                            fail(streamFailed(words));
                        }
                    });
                },
                [this, session] {
                    QMetaObject::invokeMethod(this, [this, session] {
                        if (session == sessions_ && streams_ && wake_.isActive()) {
                            streams_->setActive(false);  // a first look had: rest
                        }
                    });
                });
            if (const std::string why = streams_->problem(); !why.empty()) {
                return fail(streamFailed(why));
            }
            streamsOpened_.start();
            if (const qint64 left = tickDue_.remainingTime(); left > kWakeMs) {
                wake_.start(int(left - kWakeMs));
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
                 std::function<void(const QVariantMap&)> onAnswer, bool dialog = false) {
        const QString handle = token();
        QString sender = bus_.baseService().mid(1);
        sender.replace('.', '_');
        requestPath_ =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, handle);
        onAnswer_ = std::move(onAnswer);
        creating_ = method == QStringLiteral("CreateSession");
        bus_.connect(kPortal, requestPath_, kRequest, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
        options.insert(QStringLiteral("handle_token"), handle);
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPortal, kPortalPath, kScreenCast, method);
        call.setArguments(arguments << options);
        step(bus_.asyncCall(call), [this, dialog](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ErrorMessage) {
                return requestFailed();
            }
            if (!dialog) {
                stepLimit_.start();  // and now for the Response
            }
        });
    }

    // A call of this session, answered within the time limit or not at all.
    void step(const QDBusPendingCall& call, std::function<void(const QDBusMessage&)> then) {
        stepLimit_.start();
        auto* watcher = new QDBusPendingCallWatcher(call, this);
        const int session = sessions_;
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, session, then = std::move(then)](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    if (session == sessions_ && active_) {
                        stepLimit_.stop();
                        then(w->reply());
                    }
                });
    }

    // A request failed: where it carried a kept approval, the portal may have
    // refused that (another portal version's, a damaged file): it is forgotten
    // and the desktop asked afresh, once.
    void requestFailed() {
        if (tokenSent_ && !tokenRefused_) {
            tokenRefused_ = true;
            forgetRestoreToken(tokenPath_);
            std::fprintf(stderr,
                         "pixel-sampler: the desktop refused the kept approval to share "
                         "the screen; asking again\n");
            endSession();
            active_ = true;
            return createSession();
        }
        fail(kFailed);
    }

    QString token() { return QStringLiteral("pixel_sampler_%1").arg(++tokens_); }

    void fail(const Unreadable& why) {
        endSession();
        problem_ = why;
        if (problemFound) {
            problemFound();
        }
    }

    // No more answers from the request under way, if there is one; but a session
    // being created may still be handed out, and is then closed (onResponse).
    void stopListening() {
        if (creating_ && !requestPath_.isEmpty()) {
            orphans_.append(requestPath_);
        } else if (!requestPath_.isEmpty()) {
            unsubscribe(requestPath_);
        }
        requestPath_.clear();
        creating_ = false;
    }

    void unsubscribe(const QString& path) {
        bus_.disconnect(kPortal, path, kRequest, QStringLiteral("Response"), this,
                        SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    }

    void closeSession(const QString& session) {
        if (!session.isEmpty()) {
            bus_.asyncCall(QDBusMessage::createMethodCall(kPortal, session, kSession,
                                                          QStringLiteral("Close")));
        }
    }

    void endSession() {
        active_ = false;
        ++sessions_;  // answers still on their way are for a session that is gone
        stepLimit_.stop();
        wake_.stop();
        streams_.reset();
        store_.reset();
        stopListening();
        onAnswer_ = nullptr;
        if (!session_.isEmpty()) {
            bus_.disconnect(kPortal, session_, kSession, QStringLiteral("Closed"), this,
                            SLOT(onSessionClosed()));
            closeSession(session_);
            session_.clear();
        }
    }

    QDBusConnection bus_;
    std::string tokenPath_;
    QTimer stepLimit_;
    QTimer wake_;  // the streams' rest between a first look and the tick
    QElapsedTimer streamsOpened_;
    QDeadlineTimer tickDue_;
    bool portalChecked_ = false;
    bool active_ = false;        // a session is being set up or records
    bool sampleDue_ = false;     // from expectSample() to the end of the tick
    bool keepsApproval_ = true;  // the portal's version keeps approvals (restore tokens)
    bool tokenSent_ = false;
    bool tokenRefused_ = false;
    std::optional<FrameStore::StreamPoint> cursor_;  // the tick's, in its stream's pixels
    int tokens_ = 0;
    int sessions_ = 0;
    QString requestPath_;
    bool creating_ = false;  // the request under way creates a session
    QStringList orphans_;    // given-up CreateSession requests, whose sessions are closed
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
