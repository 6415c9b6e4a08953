#pragma once
// A locked diary: every file in the diary folder (and in the private places
// that hold copies of its text) is sealed with the diary's own key, so that
// nobody without the password or the recovery key reads a word of it.
//
// The diary key is 32 random bytes. It is stored only wrapped, in the key
// file "sorane-lock.ini" in the diary folder: once by a key derived from the
// password (Argon2id, a random salt per diary, its limits stored beside it)
// and once by the recovery key the user wrote down. Changing the password
// wraps the same key again; no file needs sealing anew.
//
// A sealed file (see Seal):
//   magic    8 bytes  00 53 4C 4B 0D 0A 1A 0A  ("\0SLK\r\n\x1a\n")
//   version  1 byte   1
//   key id  16 bytes  the diary's key id (the key file's key_id)
//   nonce   24 bytes  random
//   body             XChaCha20-Poly1305 (IETF) of the whole plain bytes,
//                    the 49 header bytes above as additional data; the
//                    16-byte tag at its end
// No diary text begins with a NUL byte, so a sealed file is never taken
// for text, and a plain file is never taken for a sealed one.
//
// Process-wide registry: while a key is registered for a place (a folder),
// Replace_file and Temp_file seal what they write under it, and
// Read_diary_file / Open_diary_file / Read_file_bytes open what they read
// under it. A plain file there is read as it is (a conversion under way, or
// a day the Windows program wrote into a synced folder; it is sealed when
// next saved). A sealed file read with no key registered is
// Io_step::Locked; one that does not open (cut, changed, another key) is
// Io_step::Damaged_lock. Neither is ever handed on as text.

#include "store/io_result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace lock {

inline constexpr char Key_file_name[] = "sorane-lock.ini";

inline constexpr int Key_bytes = 32;
inline constexpr int Key_id_bytes = 16;
inline constexpr int Salt_bytes = 16;   // crypto_pwhash_SALTBYTES
inline constexpr int Nonce_bytes = 24;  // XChaCha20-Poly1305 (IETF)
inline constexpr int Tag_bytes = 16;    // Poly1305
inline constexpr int Header_bytes = 8 + 1 + Key_id_bytes + Nonce_bytes;  // 49
inline constexpr int Recovery_bytes = 20;  // 160 random bits, 32 letters and digits
inline constexpr unsigned char Sealed_version = 1;
inline constexpr char Sealed_magic[8] = {'\0', 'S', 'L', 'K', '\r', '\n', '\x1a', '\n'};

// Bytes that must not stay in memory: held in memory from sodium_malloc
// (locked against swapping, guarded, wiped when freed). Copies share the
// bytes; the last copy wipes them. For passwords and recovery texts too.
class Secret {
public:
    Secret() = default;
    explicit Secret(qsizetype size);  // zero-filled
    static Secret Of(QByteArrayView bytes);
    bool Empty() const { return size_ == 0; }
    qsizetype Size() const { return size_; }
    unsigned char* Data() { return block.get(); }
    const unsigned char* Data() const { return block.get(); }
    QByteArrayView View() const
    {
        return QByteArrayView(reinterpret_cast<const char*>(block.get()), size_);
    }

private:
    std::shared_ptr<unsigned char> block;
    qsizetype size_ = 0;
};

// The diary's key and its id. Default-constructed: no key (Valid() false).
class Diary_key {
public:
    Diary_key() = default;
    // A new random key with a new random id.
    static Diary_key Generate();
    // A key of the given bytes (Key_bytes of them) and id (Key_id_bytes).
    static Diary_key Of(QByteArrayView key, QByteArrayView key_id);
    bool Valid() const { return secret.Size() == Key_bytes && id.size() == Key_id_bytes; }
    const unsigned char* Bytes() const { return secret.Data(); }
    // Not secret: written in every sealed file's header and in the key file.
    const QByteArray& Id() const { return id; }

private:
    Secret secret;
    QByteArray id;
};

// ---- The key file ----

enum class Key_state {
    Locked,     // every file sealed
    Locking,    // a conversion to sealed files under way
    Unlocking,  // a conversion back to plain files under way
};

// Argon2id's work for one password: crypto_pwhash's opslimit and memlimit.
struct Kdf_limits {
    unsigned long long opslimit = 0;
    size_t memlimit = 0;
};
// The limits a new key file gets: about half a second on this machine.
Kdf_limits Default_limits();
// The least crypto_pwhash accepts: for tests that make many diaries.
Kdf_limits Fastest_limits();

// The cipher library is opened at its first use (platform/lazy_library.h).
// Without it no key is made or opened: every way into a locked diary, or
// into locking one, asks first, and tells the user with Crypto_missing (an
// Io_result of errno ELIBACC naming the library).
bool Crypto_ready();
Io_result Crypto_missing();

struct Key_file {
    int version = 1;
    Key_state state = Key_state::Locked;
    QByteArray key_id;  // Key_id_bytes
    QByteArray salt;    // Salt_bytes
    Kdf_limits limits;
    // The diary key wrapped (XChaCha20-Poly1305, the key id as additional
    // data) by the password's key and by the recovery key.
    QByteArray password_nonce, password_wrap;  // 24, 32 + 16 bytes
    QByteArray recovery_nonce, recovery_wrap;

    bool Complete() const;
};

QString Key_file_path(const QString& diary_folder);
// True when the diary folder holds a key file (whatever its state). A
// folder found locked is noted in the registry (Note_locked_folder).
bool Folder_is_locked(const QString& diary_folder);
// Reads the key file. A file that cannot be understood is
// Io_step::Damaged_lock naming it; a missing one Io_step::Open with ENOENT.
Io_result Read_key_file(const QString& diary_folder, Key_file& out);
// Writes it with Replace_file (never sealed).
Io_result Write_key_file(const QString& diary_folder, const Key_file& file);
// The key file's text, and the key file that a text holds (false when it
// is not one).
QByteArray Key_file_text(const Key_file& file);
bool Parse_key_file(QByteArrayView text, Key_file& out);

// ---- Opening ----

enum class Open_result {
    Opened,
    Wrong_password,
    Wrong_recovery_key,
    Damaged_key_file,
    Out_of_memory,  // Argon2id could not have the memory its limits ask
};

// Argon2id (crypto_pwhash, ALG_ARGON2ID13) with the file's salt and limits.
Open_result Open_with_password(const Key_file& file, QByteArrayView password_utf8, Diary_key& out);
// recovery_text as the user typed it: case, blanks and hyphens do not
// matter; O reads as 0, I and L as 1.
Open_result Open_with_recovery_key(const Key_file& file, const QString& recovery_text,
                                   Diary_key& out);

// A new diary key and its key file (state Locked); recovery_text receives
// the recovery key as the user writes it down: eight groups of four letters
// and digits joined by "-".
Key_file New_key_file(QByteArrayView password_utf8, Diary_key& key, QString& recovery_text,
                      Kdf_limits limits = Default_limits());
// The same key wrapped by a new password (after the recovery key opened
// it): a new salt, the recovery wrap kept.
Key_file With_new_password(const Key_file& file, const Diary_key& key, QByteArrayView password_utf8,
                           Kdf_limits limits = Default_limits());

// ---- Sealed files ----

// The bytes begin with the magic bytes of a sealed file.
bool Is_sealed(QByteArrayView bytes);
// The key id in a sealed file's header (empty when the bytes are too short).
QByteArray Sealed_key_id(QByteArrayView sealed);
QByteArray Seal(const Diary_key& key, QByteArrayView plain);
// false when the bytes are cut, changed or of another key: plain is then
// left empty, never partly filled.
bool Open_sealed(const Diary_key& key, QByteArrayView sealed, QByteArray& plain);
// The size of the plain bytes a sealed file of this size holds.
inline qint64 Plain_size(qint64 sealed_size) { return sealed_size - Header_bytes - Tag_bytes; }

// ---- The registry ----

// While registered, files under place (a folder; its real path is taken
// too, so that every way to it counts) are sealed when written and opened
// when read. Registering a place again replaces its key.
void Register_key(const QString& place, const Diary_key& key);
// A folder known to be locked, its key not open (yet): Replace_file and
// Temp_file refuse to write under it (Io_step::Locked) rather than write
// plain bytes into a locked folder. Folder_is_locked notes every folder it
// finds locked; a registered key opens the place.
void Note_locked_folder(const QString& place);
// The place is plain again (unlocked): its key and its note go.
void Forget_key(const QString& place);
// Every place's key: the diary locked again (idle), or the program ending.
// The places stay noted as locked, closed.
void Forget_keys();
// The key of the place holding path, if any.
bool Key_for(const QString& path, Diary_key& out);
enum class Place_state {
    Plain,   // under no locked folder
    Open,    // under a locked folder whose key is registered (out receives it)
    Closed,  // under a locked folder whose key is not open
};
Place_state State_for(const QString& path, Diary_key& out);
// Any key registered at all (a cheap test for the readers and writers).
bool Any_key_registered();
// Any locked folder noted at all, open or closed.
bool Any_locked_folder();

// What reading a file found, after its bytes were read as they are:
// plain bytes pass; sealed bytes are opened with the place's key. Fails
// with Locked (no key) or Damaged_lock (does not open), naming path.
Io_result Open_read_bytes(const QString& path, QByteArray& bytes);

}  // namespace lock
