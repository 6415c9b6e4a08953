#pragma once
// The index's tokenizer. A text gives, at each character, the character
// with the next one, and the last character alone: a word of two or more
// characters is the phrase of its character pairs at consecutive
// positions, and a word of one character is every token that begins with
// it (a prefix query, Index_query). So every word, of any length, is found
// exactly by the index, and no text is read to check it. One token per
// character keeps the index about the size of the texts. The text comes
// folded already (fold.h): the tokenizer changes nothing.

struct sqlite3;

// The name an FTS5 table gives in its tokenize option.
constexpr const char* Tokenizer_name = "sorane_pairs";

// Makes the tokenizer known to a connection; false when it has no FTS5.
bool Register_tokenizer(sqlite3* db);
