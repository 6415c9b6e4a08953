#include "app/keyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLibrary>

namespace {

// The parts of libsecret's and GLib's interface used here, as their headers
// declare them (libsecret 0.20, GLib 2.x); the library is opened at run time.
using gboolean = int;
using gchar = char;
struct GError {
    quint32 domain;
    int code;
    gchar* message;
};
struct SecretSchemaAttribute {
    const gchar* name;
    int type;  // SECRET_SCHEMA_ATTRIBUTE_STRING = 0
};
struct SecretSchema {
    const gchar* name;
    int flags;  // SECRET_SCHEMA_NONE = 0
    SecretSchemaAttribute attributes[32];
    int reserved;
    void* reserved1;
    void* reserved2;
    void* reserved3;
    void* reserved4;
    void* reserved5;
    void* reserved6;
    void* reserved7;
};
using Store_sync = gboolean (*)(const SecretSchema*, const gchar* collection, const gchar* label,
                                const gchar* password, void* cancellable, GError** error, ...);
using Lookup_sync = gchar* (*)(const SecretSchema*, void* cancellable, GError** error, ...);
using Clear_sync = gboolean (*)(const SecretSchema*, void* cancellable, GError** error, ...);
using Password_free = void (*)(gchar*);
using Error_free = void (*)(GError*);

const SecretSchema Schema = [] {
    SecretSchema schema{};
    schema.name = "org.sorane.Diary.Password";
    schema.attributes[0] = {"diary-folder", 0};
    return schema;
}();
constexpr char Attribute[] = "diary-folder";

struct Secret_library {
    bool loaded = false;
    QString failure;
    Store_sync store = nullptr;
    Lookup_sync lookup = nullptr;
    Clear_sync clear = nullptr;
    Password_free password_free = nullptr;
    Error_free error_free = nullptr;
};

// Loaded once, on first use, by whichever thread asks first.
const Secret_library& Library()
{
    static const Secret_library library = [] {
        Secret_library l;
        QLibrary secret(QStringLiteral("secret-1"), 0);
        if (!secret.load()) {
            l.failure = QStringLiteral("このコンピューターには、パスワードを覚えておくための "
                                       "libsecret (libsecret-1-0) が入っていません。");
            return l;
        }
        l.store = reinterpret_cast<Store_sync>(secret.resolve("secret_password_store_sync"));
        l.lookup = reinterpret_cast<Lookup_sync>(secret.resolve("secret_password_lookup_sync"));
        l.clear = reinterpret_cast<Clear_sync>(secret.resolve("secret_password_clear_sync"));
        l.password_free = reinterpret_cast<Password_free>(secret.resolve("secret_password_free"));
        // GLib is loaded with libsecret, which depends on it.
        QLibrary glib(QStringLiteral("glib-2.0"), 0);
        l.error_free = reinterpret_cast<Error_free>(glib.resolve("g_error_free"));
        l.loaded = l.store && l.lookup && l.clear && l.password_free && l.error_free;
        if (!l.loaded)
            l.failure = QStringLiteral("このコンピューターの libsecret は古いため、"
                                       "パスワードを覚えておけません。");
        return l;
    }();
    return library;
}

QString Taken_error(const Secret_library& library, GError* error)
{
    if (!error)
        return QStringLiteral("キーリングが理由を返しませんでした。");
    const QString text = QString::fromUtf8(error->message);
    library.error_free(error);
    return text;
}

QByteArray Folder_attribute(const QString& diary_folder) { return diary_folder.toUtf8(); }

}  // namespace

bool Desktop_keyring::Available(QString* why_not)
{
    const Secret_library& library = Library();
    if (!library.loaded) {
        if (why_not)
            *why_not = library.failure;
        return false;
    }
    // A Secret Service running on the session's bus, or one the bus starts
    // when asked.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.secrets");
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    const bool running = names && names->isServiceRegistered(service).value();
    const bool startable =
        names && !running && names->activatableServiceNames().value().contains(service);
    if (running || startable)
        return true;
    if (why_not)
        *why_not = QStringLiteral("デスクトップのキーリング（Secret Service）が動いていないため、"
                                  "パスワードを覚えておけません。");
    return false;
}

QByteArray Desktop_keyring::Look_up(const QString& diary_folder)
{
    if (!Available())
        return {};
    const Secret_library& library = Library();
    const QByteArray folder = Folder_attribute(diary_folder);
    GError* error = nullptr;
    gchar* found = library.lookup(&Schema, nullptr, &error, Attribute, folder.constData(),
                                  static_cast<const char*>(nullptr));
    if (error)
        library.error_free(error);
    if (!found)
        return {};
    QByteArray password(found);
    library.password_free(found);  // wiped by libsecret
    return password;
}

bool Desktop_keyring::Store(const QString& diary_folder, const QByteArray& password_utf8,
                            QString& error_text)
{
    QString why_not;
    if (!Available(&why_not)) {
        error_text = why_not;
        return false;
    }
    const Secret_library& library = Library();
    const QByteArray folder = Folder_attribute(diary_folder);
    const QByteArray label =
        QStringLiteral("ソラネの日記のパスワード (%1)").arg(diary_folder).toUtf8();
    GError* error = nullptr;
    const bool stored =
        library.store(&Schema, nullptr, label.constData(), password_utf8.constData(), nullptr,
                      &error, Attribute, folder.constData(), static_cast<const char*>(nullptr));
    if (!stored)
        error_text = Taken_error(library, error);
    else if (error)
        library.error_free(error);
    return stored;
}

bool Desktop_keyring::Remove(const QString& diary_folder, QString& error_text)
{
    if (!Available())
        return true;  // nothing can be kept there
    const Secret_library& library = Library();
    const QByteArray folder = Folder_attribute(diary_folder);
    GError* error = nullptr;
    library.clear(&Schema, nullptr, &error, Attribute, folder.constData(),
                  static_cast<const char*>(nullptr));
    // False and no error: nothing was kept.
    if (error) {
        error_text = Taken_error(library, error);
        return false;
    }
    return true;
}
