#pragma once
// The index's tokenizer. A text gives, at each character, the character
// with the next one, and the last character alone. The index records which
// documents hold a token, not where: a word of two characters is its pair,
// a word of one character every token that begins with it (a prefix query,
// Index_query), and both are found exactly; a longer word finds the days
// holding each of its pairs, which are read to see that they hold the
// word. The text comes folded already (fold.h): the tokenizer changes
// nothing.

struct sqlite3;

// The name an FTS5 table gives in its tokenize option.
constexpr const char* Tokenizer_name = "sorane_pairs";

// Makes the tokenizer known to a connection; false when it has no FTS5.
bool Register_tokenizer(sqlite3* db);
