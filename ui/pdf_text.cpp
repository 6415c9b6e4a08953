#include "ui/pdf_text.h"

#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QtEndian>

#include <algorithm>

namespace {

// An object's text in the file, "N 0 obj" to "endobj"; its last version.
QByteArray Object(const QByteArray& pdf, int number)
{
    const QByteArray head = QByteArray::number(number) + " 0 obj";
    qsizetype at = -1;
    for (qsizetype from = 0;;) {
        const qsizetype found = pdf.indexOf(head, from);
        if (found < 0)
            break;
        if (found == 0 || pdf[found - 1] == '\n' || pdf[found - 1] == '\r')
            at = found;
        from = found + 1;
    }
    if (at < 0)
        return {};
    const qsizetype end = pdf.indexOf("endobj", at);
    return end < 0 ? QByteArray() : pdf.mid(at, end - at);
}

int Reference(const QByteArray& object, const char* key)
{
    const QRegularExpression pattern(
        QStringLiteral("/%1\\s*\\[?\\s*(\\d+) 0 R").arg(QLatin1String(key)));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(object));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A stream's bytes, inflated when the writer compressed them.
QByteArray Stream_of(const QByteArray& object)
{
    const qsizetype start = object.indexOf("stream");
    const qsizetype end = object.lastIndexOf("endstream");
    if (start < 0 || end < start)
        return {};
    qsizetype from = start + 6;
    if (from < object.size() && object[from] == '\r')
        ++from;
    if (from < object.size() && object[from] == '\n')
        ++from;
    QByteArray bytes = object.mid(from, end - from);
    if (!object.left(start).contains("/FlateDecode"))
        return bytes;
    // qUncompress takes the size first; it grows its buffer when the guess
    // is short.
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(quint32(bytes.size() * 4 + 1024), sized.data());
    return qUncompress(sized + bytes);
}

// The glyphs of an embedded TrueType font: its maxp table's count.
int Glyph_count(const QByteArray& font)
{
    if (font.size() < 12)
        return 0;
    const auto u16 = [&](qsizetype at) {
        return at + 2 <= font.size() ? qFromBigEndian<quint16>(font.constData() + at) : 0;
    };
    const auto u32 = [&](qsizetype at) {
        return at + 4 <= font.size() ? qFromBigEndian<quint32>(font.constData() + at) : 0u;
    };
    for (int i = 0; i < u16(4); ++i) {
        const qsizetype record = 12 + 16 * i;
        if (font.mid(record, 4) == "maxp")
            return u16(qsizetype(u32(record + 8)) + 4);
    }
    return 0;
}

// The glyphs a ToUnicode map gives text for.
QSet<int> Mapped(const QByteArray& cmap)
{
    QSet<int> glyphs;
    const QString text = QString::fromLatin1(cmap);
    static const QRegularExpression range(
        QStringLiteral("^<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*[<\\[]"),
        QRegularExpression::MultilineOption);
    for (auto it = range.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (int g = m.captured(1).toInt(nullptr, 16); g <= m.captured(2).toInt(nullptr, 16); ++g)
            glyphs.insert(g);
    }
    static const QRegularExpression one(
        QStringLiteral("^<([0-9A-Fa-f]{4})>\\s*<[0-9A-Fa-f]+>\\s*$"),
        QRegularExpression::MultilineOption);
    for (auto it = one.globalMatch(text); it.hasNext();)
        glyphs.insert(it.next().captured(1).toInt(nullptr, 16));
    return glyphs;
}

// The family of the chain a font in the file is (its subset tag taken off,
// spaces and case aside), or -1.
int Family_of(const QByteArray& base_font, const QStringList& chain)
{
    const QString name = QString::fromLatin1(base_font.mid(base_font.indexOf('+') + 1))
                             .section(QLatin1Char('-'), 0, 0)
                             .toLower();
    for (int i = 0; i < chain.size(); ++i)
        if (QString(chain[i]).remove(QLatin1Char(' ')).toLower() == name)
            return i;
    return -1;
}

QByteArray Hex4(int value)
{
    return QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}

}  // namespace

bool Add_text_beyond_the_plane(const QString& path, const QList<char32_t>& characters,
                               const QStringList& families)
{
    if (characters.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > (256 << 20))
        return false;
    const QByteArray pdf = file.readAll();
    file.close();

    // Each character is drawn by the first family of the chain that has it.
    QList<QRawFont> faces;
    for (const QString& family : families)
        faces << QRawFont::fromFont(QFont(family));
    const auto drawn_by = [&](char32_t c) {
        for (int i = 0; i < faces.size(); ++i)
            if (faces[i].isValid() && faces[i].supportsCharacter(c))
                return i;
        return -1;
    };

    // Each font's map with the text of its glyphs that had none, when they
    // are as many as the characters its family draws.
    struct Map {
        int object;
        QByteArray text;
    };
    QList<Map> maps;
    static const QRegularExpression type0(QStringLiteral("/Subtype\\s*/Type0"));
    static const QRegularExpression base(QStringLiteral("/BaseFont\\s*/([^\\s/>]+)"));
    for (auto it = type0.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const qsizetype at = it.next().capturedStart();
        const qsizetype object_start = pdf.lastIndexOf(" 0 obj", at);
        const qsizetype line = pdf.lastIndexOf('\n', object_start) + 1;
        const QByteArray font = Object(pdf, pdf.mid(line, object_start - line).trimmed().toInt());
        const int family =
            Family_of(base.match(QString::fromLatin1(font)).captured(1).toLatin1(), families);
        QList<char32_t> own;
        for (const char32_t c : characters)
            if (family >= 0 && drawn_by(c) == family)
                own << c;
        const int cmap = Reference(font, "ToUnicode");
        if (own.isEmpty() || cmap < 0)
            continue;
        const QByteArray descendant = Object(pdf, Reference(font, "DescendantFonts"));
        const QByteArray descriptor = Object(pdf, Reference(descendant, "FontDescriptor"));
        const int count = Glyph_count(Stream_of(Object(pdf, Reference(descriptor, "FontFile2"))));
        QByteArray map = Stream_of(Object(pdf, cmap));
        const QSet<int> mapped = Mapped(map);
        QList<int> glyphs;
        for (int g = 1; g < count; ++g)
            if (!mapped.contains(g))
                glyphs << g;
        const qsizetype end = map.indexOf("endcmap");
        if (glyphs.size() != own.size() || end < 0)
            continue;
        // The writer numbers glyphs in the order it first draws them.
        QByteArray entries = QByteArray::number(glyphs.size()) + " beginbfchar\n";
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            QByteArray utf16;
            for (const QChar c : QString::fromUcs4(&own[i], 1))
                utf16 += Hex4(c.unicode());
            entries += "<" + Hex4(glyphs[i]) + "> <" + utf16 + ">\n";
        }
        map.insert(end, entries + "endbfchar\n");
        maps.append({cmap, map});
    }
    if (maps.isEmpty())
        return false;

    // The incremental update: the map's new version, a cross-reference
    // section for it, and a trailer that points back to the previous one.
    const qsizetype trailer = pdf.lastIndexOf("trailer");
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (trailer < 0 || startxref < trailer)
        return false;
    const QByteArray dictionary = pdf.mid(trailer + 7, startxref - trailer - 7).trimmed();
    const QByteArray previous = pdf.mid(startxref + 9).trimmed().split('\n').value(0).trimmed();
    static const QRegularExpression size(QStringLiteral("/Size\\s+(\\d+)"));
    const QRegularExpressionMatch size_match = size.match(QString::fromLatin1(dictionary));
    if (!size_match.hasMatch() || previous.isEmpty() || !dictionary.endsWith(">>"))
        return false;

    QByteArray update = pdf.endsWith('\n') ? QByteArray() : QByteArray("\n");
    QByteArray xref = "xref\n0 1\n0000000000 65535 f \n";
    for (const Map& m : maps) {
        xref += QByteArray::number(m.object) + " 1\n" +
                QByteArray::number(pdf.size() + update.size()).rightJustified(10, '0') +
                " 00000 n \n";
        update += QByteArray::number(m.object) + " 0 obj\n<< /Length " +
                  QByteArray::number(m.text.size()) + " >>\nstream\n" + m.text +
                  "\nendstream\nendobj\n";
    }
    const qsizetype xref_at = pdf.size() + update.size();
    update += xref;
    QByteArray new_trailer = dictionary;
    new_trailer.chop(2);
    new_trailer += "/Prev " + previous + "\n>>";
    update +=
        "trailer\n" + new_trailer + "\nstartxref\n" + QByteArray::number(xref_at) + "\n%%EOF\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(update) == update.size();
    return file.flush() && written;
}
