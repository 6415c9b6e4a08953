#pragma once
// The text of characters beyond the Basic Multilingual Plane (𠮷, and the
// like) in a PDF written by Qt: its writer maps each font's glyphs back to
// text only for that plane, so such a character is drawn but cannot be
// copied, searched or read aloud. This adds the missing mappings to the
// file, as an incremental update (new versions of the fonts' ToUnicode
// maps appended, the rest of the file left as it is).

#include <QList>
#include <QString>
#include <QStringList>

// characters: every distinct character beyond the plane that the document
// draws as text, in the order it first draws them (the order the writer
// numbers a font's glyphs in); families: the document font's chain of
// families, each character being drawn by the first that has it. A font's
// map is completed only where that is certain: its glyphs without text are
// as many as the characters its family draws. False when the file was left
// as it was.
bool Add_text_beyond_the_plane(const QString& pdf, const QList<char32_t>& characters,
                               const QStringList& families);
