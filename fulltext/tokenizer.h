#pragma once
// The index's tokenizer. A text gives, at each character, the character
// itself and, at the same position, the character with the next one: every
// word of one character is a token, and a longer word is the phrase of its
// character pairs at consecutive positions. So every word, of any length,
// is found exactly by the index, and no text is read to check it. The text
// comes folded already (fold.h): the tokenizer changes nothing.

struct sqlite3;

// The name an FTS5 table gives in its tokenize option.
constexpr const char* Tokenizer_name = "sorane_pairs";

// Makes the tokenizer known to a connection; false when it has no FTS5.
bool Register_tokenizer(sqlite3* db);
