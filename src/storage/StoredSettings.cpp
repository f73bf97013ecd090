#include "storage/StoredSettings.h"

#include "core/Exceptions.h"
#include "storage/TRegIniFile.h"

namespace {

const QString SettingsSection = QStringLiteral("Settings");
const QString FontSection = QStringLiteral("Font");

const QString OnTopValue = QStringLiteral("OnTop");
const QString StatusValue = QStringLiteral("Status");
const QString ToolbarValue = QStringLiteral("Toolbar");
const QString XPosValue = QStringLiteral("XPos");
const QString YPosValue = QStringLiteral("YPos");
const QString XSizeValue = QStringLiteral("XSize");
const QString YSizeValue = QStringLiteral("YSize");
const QString ColourValue = QStringLiteral("Colour");

const QString CharSetValue = QStringLiteral("CharSet");
const QString ColorValue = QStringLiteral("Color");
const QString HeightValue = QStringLiteral("Height");
const QString NameValue = QStringLiteral("Name");
const QString SizeValue = QStringLiteral("Size");
const QString BoldValue = QStringLiteral("Bold");
const QString ItalicValue = QStringLiteral("Italic");
const QString UnderlineValue = QStringLiteral("Underline");
const QString StrikeOutValue = QStringLiteral("StrikeOut");

struct StyleValue
{
    const QString &name;
    TFontStyle style;
};

const StyleValue StyleValues[] = {
    {BoldValue, fsBold},
    {ItalicValue, fsItalic},
    {UnderlineValue, fsUnderline},
    {StrikeOutValue, fsStrikeOut},
};

} // namespace

StoredSettings StoredSettings::read(TRegIniFile &store, int ppi,
                                    const std::function<void(const Exception &)> &reportError)
{
    StoredSettings values(ppi);

    // Runs one read; a failure is reported and leaves the default in place.
    auto guarded = [&](auto &&readOne) {
        try {
            readOne();
        } catch (const Exception &error) {
            if (reportError)
                reportError(error);
        }
    };

    guarded([&] { values.onTop = store.GetBool(SettingsSection, OnTopValue, values.onTop); });
    guarded([&] { values.statusOn = store.GetBool(SettingsSection, StatusValue, values.statusOn); });
    guarded([&] { values.toolbarOn = store.GetBool(SettingsSection, ToolbarValue, values.toolbarOn); });
    guarded([&] { values.left = store.GetInt(SettingsSection, XPosValue, values.left); });
    guarded([&] { values.top = store.GetInt(SettingsSection, YPosValue, values.top); });
    guarded([&] { values.width = store.GetInt(SettingsSection, XSizeValue, values.width); });
    guarded([&] { values.height = store.GetInt(SettingsSection, YSizeValue, values.height); });
    guarded([&] { values.memoColour = store.GetInt(SettingsSection, ColourValue, values.memoColour); });

    TFont &font = values.font;
    guarded([&] { font.setCharset(store.GetInt(FontSection, CharSetValue, font.charset())); });
    guarded([&] { font.setColor(store.GetInt(FontSection, ColorValue, font.color())); });
    guarded([&] { font.setHeight(store.GetInt(FontSection, HeightValue, font.height())); });
    guarded([&] { font.setName(store.GetText(FontSection, NameValue, font.name())); });
    // The default size follows from the height just read, so a stored size wins.
    guarded([&] { font.setSize(store.GetInt(FontSection, SizeValue, font.size())); });

    font.setStyle({});
    for (const StyleValue &entry : StyleValues) {
        guarded([&] {
            if (store.GetBool(FontSection, entry.name, false))
                font.setStyle(font.style() | entry.style);
        });
    }
    return values;
}

void StoredSettings::write(TRegIniFile &store, const StoredSettings &values)
{
    store.PutBool(SettingsSection, OnTopValue, values.onTop);
    store.PutBool(SettingsSection, StatusValue, values.statusOn);
    store.PutBool(SettingsSection, ToolbarValue, values.toolbarOn);
    store.PutInt(SettingsSection, XPosValue, values.left);
    store.PutInt(SettingsSection, YPosValue, values.top);
    store.PutInt(SettingsSection, XSizeValue, values.width);
    store.PutInt(SettingsSection, YSizeValue, values.height);
    store.PutInt(SettingsSection, ColourValue, values.memoColour);

    const TFont &font = values.font;
    store.PutInt(FontSection, CharSetValue, font.charset());
    store.PutInt(FontSection, ColorValue, font.color());
    store.PutInt(FontSection, HeightValue, font.height());
    store.PutText(FontSection, NameValue, font.name());
    store.PutInt(FontSection, SizeValue, font.size());
    for (const StyleValue &entry : StyleValues)
        store.PutBool(FontSection, entry.name, font.style().testFlag(entry.style));

    store.commit();
}
