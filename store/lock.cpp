#include "store/lock.h"

#include "store/diary_files.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sodium.h>
#include <sys/stat.h>
#include <vector>

namespace lock {

namespace {

// libsodium picks its fastest code and seeds its random numbers once;
// ready tells whether it could be loaded at all.
std::once_flag init_once;
bool ready = false;
void Init()
{
    std::call_once(init_once, [] { ready = sodium_init() >= 0; });
}

static_assert(Salt_bytes == crypto_pwhash_SALTBYTES);
static_assert(Nonce_bytes == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
static_assert(Tag_bytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(Key_bytes == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);

QByteArray Random_bytes(int size)
{
    Init();
    QByteArray bytes(size, Qt::Uninitialized);
    randombytes_buf(bytes.data(), std::size_t(size));
    return bytes;
}

const unsigned char* Uchars(QByteArrayView bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

// Wraps the 32 key bytes with wrapping_key: nonce and ciphertext with its tag.
void Wrap(const Secret& wrapping_key, const Diary_key& key, QByteArray& nonce, QByteArray& wrapped)
{
    nonce = Random_bytes(Nonce_bytes);
    wrapped.resize(Key_bytes + Tag_bytes);
    unsigned long long size = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(reinterpret_cast<unsigned char*>(wrapped.data()),
                                               &size, key.Bytes(), Key_bytes, Uchars(key.Id()),
                                               std::size_t(key.Id().size()), nullptr, Uchars(nonce),
                                               wrapping_key.Data());
}

bool Unwrap(const Secret& wrapping_key, const QByteArray& key_id, const QByteArray& nonce,
            const QByteArray& wrapped, Diary_key& out)
{
    if (nonce.size() != Nonce_bytes || wrapped.size() != Key_bytes + Tag_bytes)
        return false;
    Secret plain(Key_bytes);
    unsigned long long size = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            plain.Data(), &size, nullptr, Uchars(wrapped), std::size_t(wrapped.size()),
            Uchars(key_id), std::size_t(key_id.size()), Uchars(nonce), wrapping_key.Data()) != 0 ||
        size != Key_bytes)
        return false;
    out = Diary_key::Of(plain.View(), key_id);
    return true;
}

// The password's key: Argon2id of the password with the file's salt and
// limits. Empty when the memory was not there.
Secret Password_key(QByteArrayView password, const QByteArray& salt, Kdf_limits limits)
{
    Init();
    Secret out(Key_bytes);
    if (crypto_pwhash(out.Data(), Key_bytes, password.data(), std::size_t(password.size()),
                      Uchars(salt), limits.opslimit, limits.memlimit,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return out;
}

// ---- The recovery key as text: Crockford's base 32 ----

constexpr char Recovery_alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

QString Recovery_text(const Secret& raw)
{
    QString text;
    unsigned int buffer = 0;
    int bits = 0;
    int letters = 0;
    for (qsizetype i = 0; i < raw.Size(); ++i) {
        buffer = (buffer << 8) | raw.Data()[i];
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            if (letters > 0 && letters % 4 == 0)
                text += QLatin1Char('-');
            text += QLatin1Char(Recovery_alphabet[(buffer >> bits) & 31]);
            ++letters;
        }
    }
    buffer = 0;
    return text;
}

// The raw bytes of a recovery text, or an empty secret when it is not one.
Secret Recovery_raw(const QString& text)
{
    Secret raw(Recovery_bytes);
    unsigned int buffer = 0;
    int bits = 0;
    qsizetype filled = 0;
    for (const QChar c : text) {
        char16_t u = c.toUpper().unicode();
        // Full-width letters and digits, as a Japanese input method types them.
        if (u >= 0xFF10 && u <= 0xFF5A)
            u = char16_t(u - 0xFEE0);
        if (u >= 'a' && u <= 'z')
            u = char16_t(u - 'a' + 'A');
        if (u == ' ' || u == '-' || u == 0x3000 || u == 0x30FC || u == 0xFF0D || u == '\t')
            continue;
        if (u == 'O')
            u = '0';
        else if (u == 'I' || u == 'L')
            u = '1';
        int value = -1;
        for (int i = 0; i < 32; ++i) {
            if (Recovery_alphabet[i] == u) {
                value = i;
                break;
            }
        }
        if (value < 0)
            return {};
        buffer = (buffer << 5) | unsigned(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            if (filled >= Recovery_bytes)
                return {};
            raw.Data()[filled++] = static_cast<unsigned char>((buffer >> bits) & 0xFF);
        }
    }
    buffer = 0;
    if (filled != Recovery_bytes || bits != 0)
        return {};
    return raw;
}

Secret Recovery_wrapping_key(const Secret& raw)
{
    Init();
    Secret out(Key_bytes);
    crypto_generichash(out.Data(), Key_bytes, raw.Data(), std::size_t(raw.Size()), nullptr, 0);
    return out;
}

// ---- The registry ----

// A locked folder, with its key while it is open. A place whose key was
// forgotten (the idle lock) stays, without a key: nothing is written under
// it until the key is registered again.
struct Place {
    QByteArray given;  // as registered, cleaned
    QByteArray real;   // links followed
    Diary_key key;     // not Valid() while the folder is closed
};

std::mutex registry_lock;
std::vector<Place>& Places()
{
    static std::vector<Place> places;
    return places;
}
std::atomic<int> registered{0};  // places with a key
std::atomic<int> known{0};       // places at all

// Keeps the counts in step with the places; under registry_lock.
void Count_places()
{
    const auto& places = Places();
    known.store(int(places.size()));
    registered.store(int(
        std::count_if(places.begin(), places.end(), [](const Place& p) { return p.key.Valid(); })));
}

QByteArray Clean_path(const QString& path)
{
    QString absolute = QDir::isAbsolutePath(path) ? path : QFileInfo(path).absoluteFilePath();
    return QFile::encodeName(QDir::cleanPath(absolute));
}

bool Under(const QByteArray& path, const QByteArray& place)
{
    if (place.isEmpty())
        return false;
    if (place == "/")
        return true;
    return path == place ||
           (path.startsWith(place) && path.size() > place.size() && path[place.size()] == '/');
}

}  // namespace

// ---- Secret and Diary_key ----

Secret::Secret(qsizetype size)
{
    Init();
    if (size <= 0)
        return;
    void* memory = sodium_malloc(std::size_t(size));
    if (memory == nullptr)
        throw std::bad_alloc();
    sodium_memzero(memory, std::size_t(size));
    block.reset(static_cast<unsigned char*>(memory), [](unsigned char* p) { sodium_free(p); });
    size_ = size;
}

Secret Secret::Of(QByteArrayView bytes)
{
    Secret out(bytes.size());
    if (bytes.size() > 0)
        std::memcpy(out.Data(), bytes.data(), std::size_t(bytes.size()));
    return out;
}

Diary_key Diary_key::Generate()
{
    Init();
    Diary_key key;
    key.secret = Secret(Key_bytes);
    crypto_aead_xchacha20poly1305_ietf_keygen(key.secret.Data());
    key.id = Random_bytes(Key_id_bytes);
    return key;
}

Diary_key Diary_key::Of(QByteArrayView key_bytes, QByteArrayView key_id)
{
    Diary_key key;
    if (key_bytes.size() != Key_bytes || key_id.size() != Key_id_bytes)
        return key;
    key.secret = Secret::Of(key_bytes);
    key.id = key_id.toByteArray();
    return key;
}

// ---- Limits ----

Kdf_limits Default_limits()
{
    // Three passes over 192 MiB: about 0.35 s for one password on the
    // development machine when idle, 0.5 to 0.7 s with its two cores
    // shared (bench_lock); libsodium's "moderate" 256 MiB took up to 0.94 s
    // there.
    return {3, std::size_t(192) * 1024 * 1024};
}

bool Crypto_ready()
{
    Init();
    return ready;
}

Io_result Crypto_missing()
{
    return Io_result::Failure(Io_step::Open, ELIBACC, QStringLiteral("libsodium.so.23"));
}

Kdf_limits Fastest_limits() { return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN}; }

// ---- The key file ----

bool Key_file::Complete() const
{
    return version == 1 && key_id.size() == Key_id_bytes && salt.size() == Salt_bytes &&
           limits.opslimit >= crypto_pwhash_OPSLIMIT_MIN && limits.opslimit <= 1000 &&
           limits.memlimit >= crypto_pwhash_MEMLIMIT_MIN &&
           limits.memlimit <= std::size_t(4) * 1024 * 1024 * 1024 &&
           password_nonce.size() == Nonce_bytes && password_wrap.size() == Key_bytes + Tag_bytes &&
           recovery_nonce.size() == Nonce_bytes && recovery_wrap.size() == Key_bytes + Tag_bytes;
}

QString Key_file_path(const QString& diary_folder)
{
    QString folder = diary_folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QLatin1String(Key_file_name);
}

bool Folder_is_locked(const QString& diary_folder)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(Key_file_path(diary_folder)).constData(), &st) != 0)
        return false;
    Note_locked_folder(diary_folder);
    return true;
}

QByteArray Key_file_text(const Key_file& file)
{
    const char* state = file.state == Key_state::Locked    ? "locked"
                        : file.state == Key_state::Locking ? "locking"
                                                           : "unlocking";
    QByteArray text;
    text += "# The key of a locked diary: delete it and the diary cannot be read.\n";
    text += "version=" + QByteArray::number(file.version) + '\n';
    text += QByteArray("state=") + state + '\n';
    text += "key_id=" + file.key_id.toHex() + '\n';
    text += "kdf=argon2id13\n";
    text += "salt=" + file.salt.toBase64() + '\n';
    text += "opslimit=" + QByteArray::number(file.limits.opslimit) + '\n';
    text += "memlimit=" + QByteArray::number(qulonglong(file.limits.memlimit)) + '\n';
    text += "password_nonce=" + file.password_nonce.toBase64() + '\n';
    text += "password_key=" + file.password_wrap.toBase64() + '\n';
    text += "recovery_nonce=" + file.recovery_nonce.toBase64() + '\n';
    text += "recovery_key=" + file.recovery_wrap.toBase64() + '\n';
    return text;
}

bool Parse_key_file(QByteArrayView text, Key_file& out)
{
    Key_file file;
    bool have_version = false, have_state = false, have_kdf = false;
    bool good = true;
    For_each_line(text, [&](QByteArrayView line) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            return;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            good = false;
            return;
        }
        const QByteArrayView name = line.first(equals).trimmed();
        const QByteArray value = line.sliced(equals + 1).trimmed().toByteArray();
        const auto base64 = [&](QByteArray& into) {
            auto decoded =
                QByteArray::fromBase64Encoding(value, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                good = false;
            else
                into = *decoded;
        };
        bool number_ok = true;
        if (name == "version") {
            file.version = value.toInt(&number_ok);
            have_version = true;
        } else if (name == "state") {
            have_state = true;
            if (value == "locked")
                file.state = Key_state::Locked;
            else if (value == "locking")
                file.state = Key_state::Locking;
            else if (value == "unlocking")
                file.state = Key_state::Unlocking;
            else
                good = false;
        } else if (name == "key_id") {
            file.key_id = QByteArray::fromHex(value);
            if (file.key_id.toHex() != value.toLower())
                good = false;
        } else if (name == "kdf") {
            have_kdf = value == "argon2id13";
            if (!have_kdf)
                good = false;
        } else if (name == "salt") {
            base64(file.salt);
        } else if (name == "opslimit") {
            file.limits.opslimit = value.toULongLong(&number_ok);
        } else if (name == "memlimit") {
            file.limits.memlimit = std::size_t(value.toULongLong(&number_ok));
        } else if (name == "password_nonce") {
            base64(file.password_nonce);
        } else if (name == "password_key") {
            base64(file.password_wrap);
        } else if (name == "recovery_nonce") {
            base64(file.recovery_nonce);
        } else if (name == "recovery_key") {
            base64(file.recovery_wrap);
        }
        // Other names are left for later versions' additions.
        if (!number_ok)
            good = false;
    });
    if (!good || !have_version || !have_state || !have_kdf || !file.Complete())
        return false;
    out = file;
    return true;
}

Io_result Read_key_file(const QString& diary_folder, Key_file& out)
{
    const QString path = Key_file_path(diary_folder);
    QByteArray bytes;
    bool exists = false;
    // Read as it is: the key file is never sealed.
    const Io_result read = Read_diary_file(path, bytes, exists);
    if (!read.Ok())
        return read;
    if (!exists)
        return Io_result::Failure(Io_step::Open, ENOENT, path);
    if (bytes.size() > 64 * 1024 || !Parse_key_file(bytes, out))
        return Io_result::Failure(Io_step::Damaged_lock, 0, path);
    return Io_result::Success();
}

Io_result Write_key_file(const QString& diary_folder, const Key_file& file)
{
    return Replace_file(Key_file_path(diary_folder), Key_file_text(file));
}

// ---- Opening ----

Open_result Open_with_password(const Key_file& file, QByteArrayView password_utf8, Diary_key& out)
{
    if (!file.Complete())
        return Open_result::Damaged_key_file;
    const Secret wrapping = Password_key(password_utf8, file.salt, file.limits);
    if (wrapping.Empty())
        return Open_result::Out_of_memory;
    if (!Unwrap(wrapping, file.key_id, file.password_nonce, file.password_wrap, out))
        return Open_result::Wrong_password;
    return Open_result::Opened;
}

Open_result Open_with_recovery_key(const Key_file& file, const QString& recovery_text,
                                   Diary_key& out)
{
    if (!file.Complete())
        return Open_result::Damaged_key_file;
    const Secret raw = Recovery_raw(recovery_text);
    if (raw.Empty())
        return Open_result::Wrong_recovery_key;
    if (!Unwrap(Recovery_wrapping_key(raw), file.key_id, file.recovery_nonce, file.recovery_wrap,
                out))
        return Open_result::Wrong_recovery_key;
    return Open_result::Opened;
}

Key_file New_key_file(QByteArrayView password_utf8, Diary_key& key, QString& recovery_text,
                      Kdf_limits limits)
{
    key = Diary_key::Generate();
    Secret raw(Recovery_bytes);
    randombytes_buf(raw.Data(), Recovery_bytes);
    recovery_text = Recovery_text(raw);

    Key_file file = With_new_password(Key_file{}, key, password_utf8, limits);
    Wrap(Recovery_wrapping_key(raw), key, file.recovery_nonce, file.recovery_wrap);
    return file;
}

Key_file With_new_password(const Key_file& old, const Diary_key& key, QByteArrayView password_utf8,
                           Kdf_limits limits)
{
    Key_file file = old;
    file.version = 1;
    file.key_id = key.Id();
    file.salt = Random_bytes(Salt_bytes);
    file.limits = limits;
    const Secret wrapping = Password_key(password_utf8, file.salt, limits);
    if (wrapping.Empty())
        throw std::bad_alloc();
    Wrap(wrapping, key, file.password_nonce, file.password_wrap);
    return file;
}

// ---- Sealed files ----

bool Is_sealed(QByteArrayView bytes)
{
    return bytes.size() >= qsizetype(sizeof Sealed_magic) &&
           std::memcmp(bytes.data(), Sealed_magic, sizeof Sealed_magic) == 0;
}

QByteArray Sealed_key_id(QByteArrayView sealed)
{
    if (!Is_sealed(sealed) || sealed.size() < Header_bytes)
        return {};
    return sealed.sliced(9, Key_id_bytes).toByteArray();
}

QByteArray Seal(const Diary_key& key, QByteArrayView plain)
{
    Init();
    QByteArray out(Header_bytes + plain.size() + Tag_bytes, Qt::Uninitialized);
    unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
    std::memcpy(p, Sealed_magic, sizeof Sealed_magic);
    p[8] = Sealed_version;
    std::memcpy(p + 9, key.Id().constData(), Key_id_bytes);
    randombytes_buf(p + 9 + Key_id_bytes, Nonce_bytes);
    unsigned long long size = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(p + Header_bytes, &size, Uchars(plain),
                                               std::size_t(plain.size()), p, Header_bytes, nullptr,
                                               p + 9 + Key_id_bytes, key.Bytes());
    return out;
}

bool Open_sealed(const Diary_key& key, QByteArrayView sealed, QByteArray& plain)
{
    plain.clear();
    if (!key.Valid() || !Is_sealed(sealed) || sealed.size() < Header_bytes + Tag_bytes)
        return false;
    const unsigned char* p = Uchars(sealed);
    if (p[8] != Sealed_version || std::memcmp(p + 9, key.Id().constData(), Key_id_bytes) != 0)
        return false;
    QByteArray out(sealed.size() - Header_bytes - Tag_bytes, Qt::Uninitialized);
    unsigned long long size = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(out.data()), &size, nullptr, p + Header_bytes,
            std::size_t(sealed.size() - Header_bytes), p, Header_bytes, p + 9 + Key_id_bytes,
            key.Bytes()) != 0)
        return false;
    out.truncate(qsizetype(size));
    plain = std::move(out);
    return true;
}

// ---- The registry ----

void Register_key(const QString& place, const Diary_key& key)
{
    Place entry;
    entry.given = Clean_path(place);
    entry.real = Real_folder_path(place);
    entry.key = key;
    const std::lock_guard<std::mutex> guard(registry_lock);
    auto& places = Places();
    const auto found = std::find_if(places.begin(), places.end(), [&](const Place& p) {
        return p.given == entry.given || p.real == entry.real;
    });
    if (found != places.end())
        *found = entry;
    else
        places.push_back(entry);
    Count_places();
}

void Note_locked_folder(const QString& place)
{
    const QByteArray given = Clean_path(place);
    {
        const std::lock_guard<std::mutex> guard(registry_lock);
        for (const Place& p : Places())
            if (p.given == given)
                return;
    }
    Place entry;
    entry.given = given;
    entry.real = Real_folder_path(place);
    const std::lock_guard<std::mutex> guard(registry_lock);
    auto& places = Places();
    for (const Place& p : places)
        if (p.given == entry.given || p.real == entry.real)
            return;
    places.push_back(entry);
    Count_places();
}

void Forget_key(const QString& place)
{
    const QByteArray given = Clean_path(place);
    const QByteArray real = Real_folder_path(place);
    const std::lock_guard<std::mutex> guard(registry_lock);
    auto& places = Places();
    std::erase_if(places, [&](const Place& p) { return p.given == given || p.real == real; });
    Count_places();
}

void Forget_keys()
{
    const std::lock_guard<std::mutex> guard(registry_lock);
    for (Place& p : Places())
        p.key = {};
    Count_places();
}

bool Any_key_registered() { return registered.load(std::memory_order_relaxed) > 0; }

bool Any_locked_folder() { return known.load(std::memory_order_relaxed) > 0; }

Place_state State_for(const QString& path, Diary_key& out)
{
    if (!Any_locked_folder())
        return Place_state::Plain;
    const QByteArray clean = Clean_path(path);
    auto state_of = [&out](const Place& p) {
        if (!p.key.Valid())
            return Place_state::Closed;
        out = p.key;
        return Place_state::Open;
    };
    {
        const std::lock_guard<std::mutex> guard(registry_lock);
        for (const Place& p : Places())
            if (Under(clean, p.given) || Under(clean, p.real))
                return state_of(p);
    }
    // Another way to the place: the folder holding the file, links followed.
    const qsizetype slash = clean.lastIndexOf('/');
    if (slash < 0)
        return Place_state::Plain;
    const QByteArray real =
        Real_folder_path(QFile::decodeName(slash == 0 ? QByteArray("/") : clean.left(slash))) +
        clean.mid(slash);
    const std::lock_guard<std::mutex> guard(registry_lock);
    for (const Place& p : Places())
        if (Under(real, p.real))
            return state_of(p);
    return Place_state::Plain;
}

bool Key_for(const QString& path, Diary_key& out)
{
    if (!Any_key_registered())
        return false;
    return State_for(path, out) == Place_state::Open;
}

Io_result Open_read_bytes(const QString& path, QByteArray& bytes)
{
    if (!Is_sealed(bytes))
        return Io_result::Success();
    Diary_key key;
    if (!Key_for(path, key)) {
        bytes.clear();
        return Io_result::Failure(Io_step::Locked, 0, path);
    }
    QByteArray plain;
    if (!Open_sealed(key, bytes, plain)) {
        bytes.clear();
        return Io_result::Failure(Io_step::Damaged_lock, 0, path);
    }
    bytes = std::move(plain);
    return Io_result::Success();
}

}  // namespace lock
