#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>

// The desktop's portal, as the screen cast reader speaks to it.
namespace portal {
inline const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
// Long enough for a portal started on demand on a busy machine, short enough
// that a portal that never answers is said while the user still waits.
constexpr int kStepLimitMs = 10000;
// What a request's answer may be besides the portal's own codes (0 approved,
// 1 declined by the user, 2 ended some other way).
constexpr int kCallFailed = -1, kNoAnswer = -2;
}  // namespace portal

// One call of the portal whose answer comes later, as the Response signal of a
// request object at a path that follows from the call's token. The signal is
// subscribed to before the call is made and given up the moment the request is
// answered, abandoned or destroyed: nothing of a request stays subscribed after
// it. Every request but the user's dialog has a time limit, the call's reply
// always; past it the owner is told (kNoAnswer) and the request still listens
// until it is abandoned. A request answers once, then deletes itself.
class PortalRequest final : public QObject {
    Q_OBJECT

public:
    using Answered = std::function<void(int code, const QVariantMap& results)>;

    PortalRequest(QDBusConnection bus, const QString& method, QList<QVariant> arguments,
                  QVariantMap options, const QString& token, bool dialog, Answered answered,
                  QObject* parent);
    ~PortalRequest() override;
    PortalRequest(const PortalRequest&) = delete;
    PortalRequest& operator=(const PortalRequest&) = delete;

    // Given up: no answer is wanted any more, or only a late one that `late`
    // tidies after (a session handed out all the same), for one more time limit.
    void abandon(Answered late = nullptr);

private slots:
    void onResponse(uint code, const QVariantMap& results);

private:
    void finish(int code, const QVariantMap& results);
    void unsubscribe();

    QDBusConnection bus_;
    QString path_;
    QTimer limit_;
    Answered answered_;
    bool subscribed_ = false;
    bool abandoned_ = false;
};

// A screen cast session the portal handed out: closed when it is dropped,
// whatever state it is in. The user may stop the sharing from the desktop's
// indicator: `closed` is told.
class PortalSession final : public QObject {
    Q_OBJECT

public:
    PortalSession(QDBusConnection bus, const QString& handle, std::function<void()> closed);
    ~PortalSession() override;
    PortalSession(const PortalSession&) = delete;
    PortalSession& operator=(const PortalSession&) = delete;

    const QString& handle() const { return handle_; }

private slots:
    void onClosed();

private:
    QDBusConnection bus_;
    QString handle_;
    std::function<void()> closed_;
};
