// The editor's content streamed out as text or as Rich Text.

#include "editor/RichEdit.h"

#include "core/RtfWriter.h"
#include "widgets/ScreenPpi.h"

#include <QFont>
#include <QHash>
#include <QIODevice>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace {

constexpr double PointsPerInch = 72.0;

double pixelsPerInch()
{
    return screenPpi();
}

int halfPointsOf(double points)
{
    return std::max(1, int(std::lround(points * 2)));
}

int halfPointsOf(const QFont &font)
{
    if (font.pointSizeF() > 0)
        return halfPointsOf(font.pointSizeF());
    return halfPointsOf(font.pixelSize() * PointsPerInch / pixelsPerInch());
}

quint32 rgbOf(const QColor &colour)
{
    return colour.rgb() & 0xFFFFFF;
}

// A run's look: what its own format says, the editor font where it says nothing.
RtfCharFormat resolve(const QTextCharFormat &format, const QFont &base,
                      const std::optional<QColor> &baseColour)
{
    RtfCharFormat out;
    const QStringList families = format.hasProperty(QTextFormat::FontFamilies)
        ? format.fontFamilies().toStringList()
        : QStringList();
    out.face = families.isEmpty() ? base.family() : families.constFirst();
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        out.halfPoints = halfPointsOf(format.fontPointSize());
    else if (format.hasProperty(QTextFormat::FontPixelSize) && format.intProperty(QTextFormat::FontPixelSize) > 0)
        out.halfPoints = halfPointsOf(format.intProperty(QTextFormat::FontPixelSize) * PointsPerInch / pixelsPerInch());
    else
        out.halfPoints = halfPointsOf(base);
    out.bold = format.hasProperty(QTextFormat::FontWeight) ? format.fontWeight() >= QFont::DemiBold
                                                           : base.weight() >= QFont::DemiBold;
    out.italic = format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic() : base.italic();
    const bool ownUnderline = format.hasProperty(QTextFormat::TextUnderlineStyle)
        || format.hasProperty(QTextFormat::FontUnderline);
    out.underline = ownUnderline ? format.fontUnderline() : base.underline();
    out.strikeOut = format.hasProperty(QTextFormat::FontStrikeOut) ? format.fontStrikeOut() : base.strikeOut();
    const QBrush foreground = format.foreground();
    if (format.hasProperty(QTextFormat::ForegroundBrush) && foreground.style() != Qt::NoBrush)
        out.colour = rgbOf(foreground.color());
    else if (baseColour)
        out.colour = rgbOf(*baseColour);
    return out;
}

bool writeText(const QString &text, QIODevice *device)
{
    const QByteArray bytes = text.toUtf8();
    return device->write(bytes) == bytes.size();
}

} // namespace

bool RichEdit::streamOut(QIODevice *device) const
{
    if (PlainText)
        return writeText(text(), device);

    const QTextDocument *doc = document();
    const QFont base = doc->defaultFont();
    // Formats are shared between fragments; each is resolved once, and every face and
    // colour is known before the header goes out.
    QHash<int, RtfCharFormat> formats;
    RtfWriter rtf(device);
    rtf.addFont(base.family());
    const auto formatOf = [&](const QTextFragment &fragment) -> const RtfCharFormat & {
        const int index = fragment.charFormatIndex();
        auto found = formats.find(index);
        if (found == formats.end())
            found = formats.insert(index, resolve(fragment.charFormat(), base, m_textColour));
        return *found;
    };
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            rtf.addFormat(formatOf(it.fragment()));
    }

    rtf.begin();
    for (QTextBlock block = doc->begin(); block.isValid() && rtf.ok(); block = block.next()) {
        if (block != doc->begin())
            rtf.paragraph();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            rtf.text(fragment.text(), formatOf(fragment));
        }
    }
    return rtf.end();
}
