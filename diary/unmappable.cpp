#include "diary/unmappable.h"

#include <QSet>

QList<Unmappable_char> Unmappable_chars(const QList<const cp932::Encode_result*>& encoded)
{
    QList<Unmappable_char> characters;
    QSet<char32_t> seen;
    for (const cp932::Encode_result* field : encoded) {
        for (const cp932::Unmappable& u : field->unmappable) {
            if (seen.contains(u.character))
                continue;
            seen.insert(u.character);
            characters.append(
                {QString::fromUcs4(&u.character, 1), cp932::Decode_text(u.substitute)});
        }
    }
    return characters;
}
