#pragma once
// The days the index finds, made hits. The index knows which pairs of
// characters a day holds, not where: a day holding every pair of a longer
// word need not hold the word, and is read to see. Each day is read once,
// on every core, and the line shown for it is made from the same reading
// when the search asks for lines.

#include "fulltext/fulltext.h"

// result.hits holds the days found, in the order wanted, each with its
// memo; those that do not hold every word of result.words go, and each
// kept has the line of its text when search.snippets is set. With exact
// set every day found holds the words, and none is read here. A day whose
// file cannot be read now goes: the index's record of the files names such
// a file (Files_not_indexed).
void Check_candidates(const QString& app_dir, const Fold_options& options,
                      const Fulltext_search& search, bool exact, Fulltext_result& result);
