#include "portal_request.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <utility>

namespace {
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
}  // namespace

PortalRequest::PortalRequest(QDBusConnection bus, const QString& method, QList<QVariant> arguments,
                             QVariantMap options, const QString& token, bool dialog,
                             Answered answered, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), answered_(std::move(answered)) {
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    path_ = portal::kPath + QStringLiteral("/request/%1/%2").arg(sender, token);
    subscribed_ = bus_.connect(portal::kService, path_, kRequest, QStringLiteral("Response"), this,
                               SLOT(onResponse(uint, QVariantMap)));
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        if (abandoned_) {
            return finish(portal::kNoAnswer, {});
        }
        if (const Answered told = answered_) {
            told(portal::kNoAnswer, {});
        }
    });
    limit_.start(portal::kStepLimitMs);
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(portal::kService, portal::kPath,
                                                       portal::kScreenCast, method);
    call.setArguments(arguments << options);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, dialog](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (w->isError()) {
                    return finish(portal::kCallFailed, {});
                }
                // Only the user's dialog may take its time.
                dialog ? limit_.stop() : limit_.start(portal::kStepLimitMs);
            });
}

PortalRequest::~PortalRequest() {
    unsubscribe();
}

void PortalRequest::abandon(Answered late) {
    abandoned_ = true;
    answered_ = std::move(late);
    if (answered_) {
        return limit_.start(portal::kStepLimitMs);
    }
    limit_.stop();
    unsubscribe();
    deleteLater();
}

void PortalRequest::onResponse(uint code, const QVariantMap& results) {
    finish(int(code), results);
}

void PortalRequest::finish(int code, const QVariantMap& results) {
    limit_.stop();
    unsubscribe();
    deleteLater();
    if (const Answered answered = std::exchange(answered_, nullptr)) {
        answered(code, results);
    }
}

void PortalRequest::unsubscribe() {
    if (std::exchange(subscribed_, false)) {
        bus_.disconnect(portal::kService, path_, kRequest, QStringLiteral("Response"), this,
                        SLOT(onResponse(uint, QVariantMap)));
    }
}

PortalSession::PortalSession(QDBusConnection bus, const QString& handle,
                             std::function<void()> closed)
    : bus_(std::move(bus)), handle_(handle), closed_(std::move(closed)) {
    bus_.connect(portal::kService, handle_, kSession, QStringLiteral("Closed"), this,
                 SLOT(onClosed()));
}

PortalSession::~PortalSession() {
    bus_.disconnect(portal::kService, handle_, kSession, QStringLiteral("Closed"), this,
                    SLOT(onClosed()));
    bus_.asyncCall(QDBusMessage::createMethodCall(portal::kService, handle_, kSession,
                                                  QStringLiteral("Close")));
}

void PortalSession::onClosed() {
    // Told from the event loop: what it is told may drop this session.
    if (closed_) {
        QTimer::singleShot(0, this, closed_);
    }
}
