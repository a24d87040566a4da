// xdg-desktop-portal's ScreenCast: CreateSession, SelectSources, Start and
// OpenPipeWireRemote. Each of the first three answers later (portal_request.h).
// Nothing here waits: the answers come through the window's event loop, and
// this says what comes next.
//
// A session lives from a sample becoming due to its tick. Every step but the
// user's dialog has a time limit; the portal leaving the bus, the session
// closed from the desktop, a stream's failure or any error ends the session,
// and the next press starts afresh. An answer that comes after the tick ends
// the session instead of going on (an approval given then is still kept),
// except on a portal that cannot keep an approval: there the session the user
// approved, before the tick or after it, serves the rest of the run, its
// streams resting between samples, so that one dialog is all it takes.

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
#include "portal_request.h"
#include "restore_token.h"

namespace {

using portal::kPath;
using portal::kScreenCast;
using portal::kService;
constexpr unsigned kMonitors = 1, kCursorAsMetadata = 4, kPersistent = 2;
constexpr unsigned kDeclined = 1;
// Cursor metadata came with version 2, approvals that are kept with version 4.
constexpr unsigned kLeastVersion = 2, kKeptVersion = 4;
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
        stepLimit_.setInterval(portal::kStepLimitMs);
        connect(&stepLimit_, &QTimer::timeout, this, [this] { fail(kNoAnswer); });
        wake_.setSingleShot(true);
        connect(&wake_, &QTimer::timeout, this, [this] {
            if (streams_) {
                streams_->setActive(true);
            }
        });
        // An upgrade or a crash of the portal takes its sessions and dialogs with it.
        auto* watcher = new QDBusServiceWatcher(kService, bus_,
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
            kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
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
                             "keep an approval: the desktop asks once a run, and shows the screen "
                             "as shared while the program runs\n",
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
        if (keepsApproval_) {
            return endSession();
        }
        wake_.stop();
        streams_->setActive(false);  // the approved session serves the next sample too
    }

    Unreadable whyUnreadable() override { return problem_; }

private:
    void createSession() {
        tokenSent_ = false;
        request(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("session_handle_token"), token()}},
                [this](const QVariantMap&) { selectSources(); });
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
        request(QStringLiteral("SelectSources"),
                {QVariant::fromValue(QDBusObjectPath(session_->handle()))}, options,
                [this](const QVariantMap&) { startCast(); });
    }

    void startCast() {
        // Only the user's dialog may take its time: the limit ends with the call's reply.
        request(
            QStringLiteral("Start"),
            {QVariant::fromValue(QDBusObjectPath(session_->handle())),
             QString::fromStdString(parentWindow)},
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
        QDBusMessage open = QDBusMessage::createMethodCall(kService, kPath, kScreenCast,
                                                           QStringLiteral("OpenPipeWireRemote"));
        open << QVariant::fromValue(QDBusObjectPath(session_->handle())) << QVariantMap();
        step(bus_.asyncCall(open), [this, monitors, nodes](const QDBusMessage& reply) {
            const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
            if (reply.type() == QDBusMessage::ErrorMessage || !fd.isValid()) {
                return fail(kFailed);
            }
            if (!sampleDue_ && keepsApproval_) {
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
                        if (session == sessions_ && streams_ && (wake_.isActive() || !sampleDue_)) {
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

    // A portal method whose answer comes later, as a request of its own; the
    // answer is this session's only while the request is the one under way.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 std::function<void(const QVariantMap&)> next, bool dialog = false) {
        const bool creating = method == QStringLiteral("CreateSession");
        requestCreates_ = creating;
        request_ = new PortalRequest(
            bus_, method, std::move(arguments), std::move(options), token(), dialog,
            [this, creating, next = std::move(next)](int code, const QVariantMap& results) {
                if (code != portal::kNoAnswer) {
                    request_ = nullptr;  // answered: gone
                }
                answered(code, results, creating, next);
            },
            this);
    }

    void answered(int code, const QVariantMap& results, bool creating,
                  const std::function<void(const QVariantMap&)>& next) {
        if (code == portal::kNoAnswer) {
            return fail(kNoAnswer);
        }
        if (creating && code == 0) {
            session_ = std::make_unique<PortalSession>(
                bus_, results.value(QStringLiteral("session_handle")).toString(), [this] {
                    if (active_) {
                        fail(kStopped);
                    }
                });
        }
        if (code != 0) {
            // Declined by the user (1), or ended some other way (2): a kept
            // approval the portal refuses ends that way.
            return code == int(kDeclined) ? fail(kDeclinedByUser) : requestFailed();
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
        if (!sampleDue_ && keepsApproval_) {
            return endSession();  // the tick has passed: nothing to record for
        }
        next(results);
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

    // The request under way, if there is one, is given up; a session it may
    // still hand out is closed at once.
    void abandonRequest() {
        if (request_ && requestCreates_) {
            request_->abandon([this](int code, const QVariantMap& results) {
                if (code == 0) {
                    PortalSession(bus_, results.value(QStringLiteral("session_handle")).toString(),
                                  nullptr);
                }
            });
        } else if (request_) {
            request_->abandon();
        }
        request_ = nullptr;
    }

    void endSession() {
        active_ = false;
        ++sessions_;  // answers still on their way are for a session that is gone
        stepLimit_.stop();
        wake_.stop();
        streams_.reset();
        store_.reset();
        abandonRequest();
        session_.reset();
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
    PortalRequest* request_ = nullptr;  // the one under way, which deletes itself once answered
    bool requestCreates_ = false;       // it creates a session
    std::unique_ptr<PortalSession> session_;
    std::unique_ptr<FrameStore> store_;
    std::unique_ptr<PipeWireStreams> streams_;
    Unreadable problem_;
};

}  // namespace

std::unique_ptr<Screen> openPortalScreen() {
    return std::make_unique<PortalScreen>();
}

#include "screen_portal.moc"
