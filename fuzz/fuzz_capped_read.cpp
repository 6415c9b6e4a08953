// The capped read of a day file and the write that follows it.
//
// The first input byte chooses the case: bit 0 puts a long run of filler
// before the rest of the input so that the 32000-byte limit falls among the
// fuzzer's bytes (bit 1 makes the filler two-byte characters, so the limit
// can fall inside one; the second byte moves the limit over 40 places);
// bit 2 with no further bytes reads a missing file.
//
// What must hold: the read is capped exactly for files over 32000 bytes; the text
// is the file less its final line end, or the first 31996 to 31998 bytes cut
// between two characters; writing the unchanged text back gives the same
// text on the next read, and the same bytes when the file's line breaks
// are all CR LF, it ends in one (or was cut) and no code Windows does not
// write for its character is involved.

#include "fuzz/fuzz_support.h"
#include "platform/cp932.h"
#include "store/store.h"

#include <QString>
#include <cstdint>

namespace {

QString Text_of(const QByteArray& bytes)
{
    QString text = cp932::Decode_text(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// Every LF has a CR before it.
bool Line_breaks_are_crlf(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    QByteArray file;
    const bool missing = (mode & 4) && size == 1;
    if (mode & 1) {
        if (size < 2)
            return 0;
        const qsizetype filler = 31980 + data[1] % 40;
        const QByteArray piece = (mode & 2) ? QByteArray("\x82\xa0") : QByteArray("A");
        file = piece.repeated(filler / piece.size() + 1).left(filler);
        file += Bytes_of(data + 2, size - 2);
    } else {
        file = Bytes_of(data + 1, size - 1);
    }

    const QString path = Scratch_folder() + QStringLiteral("1207.txt");
    Remove_file(path);
    if (!missing)
        Put_file(path, file);

    Diary_store store(Scratch_folder());
    const Text_read read = store.Read_text_file(path);
    FUZZ_CHECK(read.result.Ok());
    const QString& text = read.text;
    const QByteArray kept = store.Kept_remainder(path);

    if (missing) {
        FUZZ_CHECK(text.isEmpty());
        FUZZ_CHECK(kept.isEmpty());
        FUZZ_CHECK(!read.capped);
        FUZZ_CHECK(read.file_size == 0);
        return 0;
    }

    FUZZ_CHECK(read.file_size == file.size());
    const bool capped = file.size() > Text_file_limit;
    FUZZ_CHECK(read.capped == capped);
    if (capped) {
        // The text is a head of the file, the rest is kept back whole.
        FUZZ_CHECK(file.endsWith(kept));
        const QByteArray head = file.left(file.size() - kept.size());
        FUZZ_CHECK(head.size() >= Text_file_limit - 4 && head.size() <= Text_file_limit - 2);
        FUZZ_CHECK(text == Text_of(head));
        // Cut between characters as the codec sees them: the head's text is
        // the start of the whole file's text, and no CR LF is split.
        FUZZ_CHECK(cp932::Decode_text(file).startsWith(cp932::Decode_text(head)));
        FUZZ_CHECK(!(head.endsWith('\r') && kept.startsWith('\n')));
    } else {
        FUZZ_CHECK(kept.isEmpty());
        QByteArray body = file;
        if (body.endsWith("\r\n"))
            body.chop(2);
        else if (body.endsWith('\n') || body.endsWith('\r'))
            body.chop(1);
        FUZZ_CHECK(text == Text_of(body));
    }

    // The text written back unchanged.
    const Io_result written = store.Write_text_file(path, text);
    FUZZ_CHECK(written.Ok());
    const QByteArray after = Get_file(path);
    FUZZ_CHECK(after.endsWith("\r\n") || (capped && after.endsWith(kept)));
    if (capped)
        FUZZ_CHECK(after.endsWith(kept));

    Diary_store store_again(Scratch_folder());
    const Text_read read_again = store_again.Read_text_file(path);
    const QString& text_again = read_again.text;
    FUZZ_CHECK(read_again.file_size == after.size());
    if (after.size() <= Text_file_limit) {
        FUZZ_CHECK(!read_again.capped);
        FUZZ_CHECK(text_again == text);
    } else {
        // The final CR LF (or a CR CR LF for a CR of the text) can take a
        // file just under the limit over it: then the next read is cut
        // again, between characters of the same text.
        FUZZ_CHECK(read_again.capped);
        FUZZ_CHECK(text.startsWith(text_again));
        FUZZ_CHECK(after.endsWith(store_again.Kept_remainder(path)));
    }

    const bool plain_ending = capped || file.endsWith("\r\n");
    if (plain_ending && Line_breaks_are_crlf(file)) {
        if (Has_duplicate_lead(file))
            FUZZ_CHECK(cp932::Decode_text(after) == cp932::Decode_text(file));
        else
            FUZZ_CHECK(after == file);
    }
    return 0;
}
