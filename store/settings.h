#pragma once
// The settings file "sorane.ini": thirty lines, one value each, always in
// the same order.

#include "platform/twips.h"
#include "store/io_result.h"

#include <QString>
#include <QStringList>
#include <optional>

// The diary panel's height: "nomal" in the file; any other word is the wide
// panel.
enum class Screen_mode {
    Normal,
    Wide
};
// Today's fortune: "sumi" in the file once told; any other word ("mada" on
// a new day) is not told.
enum class Fortune_state {
    Not_told,
    Told
};

// The word each state is written as.
QString Word_of(Screen_mode mode);
QString Word_of(Fortune_state state);
// The state a word of the file stands for: exactly these words, case and
// blanks included.
Screen_mode Screen_mode_of(const QString& word);
Fortune_state Fortune_state_of(const QString& word);

// A state the settings file keeps as a word. The word read stays with the
// state until the state is set, so that a word this program does not know
// goes back into the file as it was.
template <typename State>
class Settings_word {
public:
    Settings_word(State first) : state(first) {}

    State Get() const { return state; }
    void Set(State now)
    {
        state = now;
        word_read.reset();
    }
    // The word as read from the file, with the state it stands for.
    void Read(State read_state, const QString& word)
    {
        state = read_state;
        word_read = word;
    }
    // The word the file gets.
    QString Word() const { return word_read ? *word_read : Word_of(state); }

private:
    State state;
    std::optional<QString> word_read;
};

struct Settings {
    int win_state = 0;  // 0 normal, 1 minimized, 2 maximized
    float win_top = 0;  // outer frame, twips
    float win_left = 0;
    float win_height = 7020;
    float win_width = 9510;
    Settings_word<Screen_mode> screen_mode{Screen_mode::Normal};
    int ref_mode = 1;
    QString last_ref_date;  // y/m/d, zero-padded or not
    QString last_run_date;  // yyyy/mm/dd
    Settings_word<Fortune_state> fortune_state{Fortune_state::Not_told};
    QStringList spare_lines;  // 20 reserved lines, kept as read
    // The reserved lines' bytes as read. A line whose text is unchanged is
    // written back as these bytes: decoding and encoding again would give
    // a character with two codes its other code.
    QList<QByteArray> spare_bytes;

    // The values a new settings file starts with: window placement as
    // given, today for both dates, "spare1" to "spare20".
    static Settings First_values(float top, float left, const QString& today_key);
};

// The main window as the settings keep it.
struct Window_geometry {
    int state = 0;  // 0 normal, 1 minimized, 2 maximized
    Twips_rect outer{};
};

inline constexpr int Settings_line_count = 30;
inline constexpr int Spare_line_count = 20;

struct Settings_read {
    Settings values;
    Io_result result;
    // Lines that were missing or could not be read as their kind and were
    // given their first value instead (1-based line numbers).
    QList<int> replaced_lines;
};

// Reads the file; a missing line or a value of the wrong kind takes its
// value from first_values.
Settings_read Read_settings(const QString& path, const Settings& first_values);
Io_result Write_settings(const QString& path, const Settings& settings);

// The thirty lines as written to the file, without line ends.
QStringList Settings_lines(const Settings& settings);

// A window value as plain decimal text: 7020, 4365.5 (no blanks, no exponent).
QString Format_twips(float value);

// A date written year/month/day, zero-padded or not ("2025/3/7").
bool Parse_date_text(const QString& text, int& year, int& month, int& day);
