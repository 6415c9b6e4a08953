// Reading a day file as text and the write that follows it.
//
// The first input byte chooses the case: bit 0 puts a long run of filler
// before the rest of the input (over 32000 bytes, the size the Windows
// program's text box held; bit 1 makes the filler two-byte characters; the
// second byte varies its length over 40 places); bit 2 with no further
// bytes reads a missing file.
//
// What must hold: the whole file is read, whatever its size; the text is
// the file less its final line end; writing the unchanged text back gives
// the same text on the next read, and the same bytes when the file's line
// breaks are all CR LF, it ends in one and no code Windows does not write
// for its character is involved.

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

    if (missing) {
        FUZZ_CHECK(text.isEmpty());
        FUZZ_CHECK(read.file_size == 0);
        return 0;
    }

    FUZZ_CHECK(read.file_size == file.size());
    QByteArray body = file;
    if (body.endsWith("\r\n"))
        body.chop(2);
    else if (body.endsWith('\n') || body.endsWith('\r'))
        body.chop(1);
    FUZZ_CHECK(text == Text_of(body));

    // The text written back unchanged.
    const Io_result written = store.Write_text_file(path, text);
    FUZZ_CHECK(written.Ok());
    const QByteArray after = Get_file(path);
    FUZZ_CHECK(after.endsWith("\r\n"));

    Diary_store store_again(Scratch_folder());
    const Text_read read_again = store_again.Read_text_file(path);
    FUZZ_CHECK(read_again.result.Ok());
    FUZZ_CHECK(read_again.file_size == after.size());
    FUZZ_CHECK(read_again.text == text);

    if (file.endsWith("\r\n") && Line_breaks_are_crlf(file)) {
        if (Has_duplicate_lead(file))
            FUZZ_CHECK(cp932::Decode_text(after) == cp932::Decode_text(file));
        else
            FUZZ_CHECK(after == file);
    }
    return 0;
}
