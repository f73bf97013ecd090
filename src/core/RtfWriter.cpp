#include "core/RtfWriter.h"

#include <QIODevice>

#include <algorithm>

namespace {

// Bytes gathered before they go to the device in one write.
constexpr qsizetype FlushSize = 64 * 1024;

constexpr char Header[] = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1";

void appendNumber(QByteArray &out, int value)
{
    char digits[12];
    int n = 0;
    unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        out.append('-');
    while (n > 0)
        out.append(digits[--n]);
}

void appendControl(QByteArray &out, const char *word, int value)
{
    out.append(word);
    appendNumber(out, value);
}

} // namespace

RtfWriter::RtfWriter(QIODevice *device)
    : m_device(device)
{
    m_buffer.reserve(FlushSize + 1024);
}

int RtfWriter::addFont(const QString &face)
{
    const auto found = m_fontIndex.constFind(face);
    if (found != m_fontIndex.cend())
        return *found;
    const int index = int(m_fonts.size());
    m_fonts.append(face);
    m_fontIndex.insert(face, index);
    return index;
}

int RtfWriter::addColour(quint32 rgb)
{
    rgb &= 0xFFFFFF;
    const auto found = m_colourIndex.constFind(rgb);
    if (found != m_colourIndex.cend())
        return *found;
    m_colours.append(rgb);
    const int index = int(m_colours.size()); // entry 0 is the automatic colour
    m_colourIndex.insert(rgb, index);
    return index;
}

void RtfWriter::addFormat(const RtfCharFormat &format)
{
    addFont(format.face);
    if (format.colour)
        addColour(*format.colour);
}

void RtfWriter::begin()
{
    if (m_fonts.isEmpty())
        addFont(QString());
    m_buffer.append(Header);
    m_buffer.append("{\\fonttbl");
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        appendControl(m_buffer, "{\\f", int(i));
        m_buffer.append("\\fnil\\fcharset0 ");
        appendEscaped(m_buffer, m_fonts.at(i));
        m_buffer.append(";}");
    }
    m_buffer.append("}\r\n{\\colortbl ;");
    for (const quint32 rgb : std::as_const(m_colours)) {
        appendControl(m_buffer, "\\red", int((rgb >> 16) & 0xFF));
        appendControl(m_buffer, "\\green", int((rgb >> 8) & 0xFF));
        appendControl(m_buffer, "\\blue", int(rgb & 0xFF));
        m_buffer.append(';');
    }
    m_buffer.append("}\r\n\\pard");
    flushIfFull();
}

void RtfWriter::appendFormat(const RtfCharFormat &format)
{
    m_buffer.append("\\plain");
    appendControl(m_buffer, "\\f", addFont(format.face));
    appendControl(m_buffer, "\\fs", format.halfPoints);
    if (format.bold)
        m_buffer.append("\\b");
    if (format.italic)
        m_buffer.append("\\i");
    if (format.underline)
        m_buffer.append("\\ul");
    if (format.strikeOut)
        m_buffer.append("\\strike");
    appendControl(m_buffer, "\\cf", format.colour ? addColour(*format.colour) : 0);
    m_buffer.append(' ');
}

void RtfWriter::text(QStringView text, const RtfCharFormat &format)
{
    if (!m_ok || text.isEmpty())
        return;
    if (!m_current || !(*m_current == format)) {
        appendFormat(format);
        m_current = format;
    }
    // Long runs go out in pieces, so the buffer stays small whatever the run's length.
    constexpr qsizetype Piece = FlushSize / 8;
    qsizetype at = 0;
    while (at < text.size() && m_ok) {
        const qsizetype length = std::min(Piece, text.size() - at);
        appendEscaped(m_buffer, text.mid(at, length));
        at += length;
        flushIfFull();
    }
}

void RtfWriter::paragraph()
{
    if (!m_ok)
        return;
    m_buffer.append("\\par\r\n");
    flushIfFull();
}

bool RtfWriter::end()
{
    if (m_ok) {
        m_buffer.append("}\r\n");
        flush();
    }
    return m_ok;
}

void RtfWriter::appendEscaped(QByteArray &out, QStringView text)
{
    const auto plain = [](char16_t u) { return u >= 0x20 && u < 0x7F && u != '\\' && u != '{' && u != '}'; };
    const QChar *p = text.begin();
    const QChar *const end = text.end();
    while (p != end) {
        // Most text is plain ASCII: copy each stretch of it in one go.
        const QChar *stretch = p;
        while (p != end && plain(p->unicode()))
            ++p;
        if (p != stretch) {
            const qsizetype at = out.size();
            out.resize(at + (p - stretch));
            char *to = out.data() + at;
            for (const QChar *c = stretch; c != p; ++c)
                *to++ = char(c->unicode());
        }
        if (p == end)
            break;
        const char16_t u = p->unicode();
        ++p;
        if (u == '\\' || u == '{' || u == '}') {
            out.append('\\');
            out.append(char(u));
        } else if (u == '\t') {
            out.append("\\tab ");
        } else {
            appendControl(out, "\\u", int(qint16(u)));
            // The fallback '?' as a hex escape: some readers (unrtf) take a bare one
            // as the start of a word and drop the rest of it.
            out.append("\\'3f");
        }
    }
}

void RtfWriter::flushIfFull()
{
    if (m_buffer.size() >= FlushSize)
        flush();
}

void RtfWriter::flush()
{
    if (!m_ok || m_buffer.isEmpty())
        return;
    if (m_device->write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_buffer.resize(0); // keeps its capacity for the next piece
}
