#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

class QIODevice;

// How one run of text looks, in the terms RTF speaks.
struct RtfCharFormat
{
    QString face;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::optional<quint32> colour; // 0xRRGGBB; none means the automatic text colour

    bool operator==(const RtfCharFormat &) const = default;
};

// Writes a Rich Text document whose bytes are all ASCII: every face and colour is
// named first, then begin() writes the header with both tables, then the text
// follows run by run. Whatever the device refuses stops the writing and makes
// end() return false.
class RtfWriter
{
public:
    explicit RtfWriter(QIODevice *device);

    // Index of the face in the font table; the first face named is the document's default.
    int addFont(const QString &face);
    // Index of the colour in the colour table; 0 is the automatic colour.
    int addColour(quint32 rgb);
    // Both at once, for a format about to be written.
    void addFormat(const RtfCharFormat &format);

    void begin();
    void text(QStringView text, const RtfCharFormat &format);
    void paragraph();
    // Closes the document and hands the last bytes over; false when the device took
    // fewer bytes than it was given at any point.
    bool end();

    bool ok() const { return m_ok; }

    // RTF for characters of text: ASCII kept, \ { } escaped, tabs as \tab, everything
    // else as \uN with N signed 16-bit (a character beyond the BMP as its surrogates),
    // followed by the fallback '?' written \'3f.
    static void appendEscaped(QByteArray &out, QStringView text);

private:
    void appendFormat(const RtfCharFormat &format);
    void flushIfFull();
    void flush();

    QIODevice *m_device;
    QByteArray m_buffer;
    QList<QString> m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<quint32> m_colours;
    QHash<quint32, int> m_colourIndex;
    std::optional<RtfCharFormat> m_current;
    bool m_ok = true;
};
