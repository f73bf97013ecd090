#include "dialogs/TFontDialog.h"

#include "platform/DialogPlacement.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const char DialogTitle[] = "Font";
const char ColourLabel[] = "&Color:";
const char AutomaticColour[] = "Automatic";
const char CustomColour[] = "Custom";
constexpr int SwatchSize = 14;

struct NamedColour
{
    const char *name;
    TColor colour;
};

// The sixteen basic colours, 0x00BBGGRR.
constexpr NamedColour BasicColours[] = {
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
};

// The chooser names a family found at several foundries "Family [foundry]"; a face
// name is the family alone.
QString faceName(const QString &family)
{
    const qsizetype bracket = family.lastIndexOf(QLatin1String(" ["));
    if (bracket > 0 && family.endsWith(u']'))
        return family.left(bracket);
    return family;
}

QIcon swatch(TColor colour)
{
    QPixmap pixmap(SwatchSize, SwatchSize);
    pixmap.fill(resolveColour(colour));
    return QIcon(pixmap);
}

} // namespace

TFontDialog::TFontDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(DialogTitle));

    m_chooser = new QFontDialog(this);
    m_chooser->setObjectName(QString::fromLatin1(FontChooserName));
    m_chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_chooser->setWindowFlags(Qt::Widget);
    liftSizeLimit();
    // Escape inside the embedded chooser closes it alone; make it cancel the whole dialog.
    connect(m_chooser, &QDialog::rejected, this, &QDialog::reject);

    m_colours = new QComboBox(this);
    m_colours->setObjectName(QString::fromLatin1(ColourComboName));
    m_colours->addItem(swatch(clWindowText), QString::fromLatin1(AutomaticColour), clWindowText);
    for (const NamedColour &entry : BasicColours)
        m_colours->addItem(swatch(entry.colour), QString::fromLatin1(entry.name), entry.colour);
    connect(m_colours, &QComboBox::currentIndexChanged, this, [this] { m_colourPicked = true; });

    auto *colourRow = new QFormLayout;
    auto *colourLabel = new QLabel(QString::fromLatin1(ColourLabel), this);
    colourLabel->setBuddy(m_colours);
    colourRow->addRow(colourLabel, m_colours);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_chooser);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);
}

void TFontDialog::liftSizeLimit()
{
    for (QLineEdit *edit : m_chooser->findChildren<QLineEdit *>()) {
        if (qobject_cast<const QIntValidator *>(edit->validator()))
            edit->setValidator(new QIntValidator(1, MaxPointSize, edit));
    }
}

int TFontDialog::colourIndex(TColor colour)
{
    const int found = m_colours->findData(colour);
    if (found >= 0)
        return found;
    m_colours->addItem(swatch(colour), QString::fromLatin1(CustomColour), colour);
    return m_colours->count() - 1;
}

void TFontDialog::preset(const TFont &font)
{
    m_chooser->setCurrentFont(font.toQFont());
    m_presetFamily = m_chooser->currentFont().family();
    {
        const QSignalBlocker blocker(m_colours);
        m_colours->setCurrentIndex(colourIndex(font.color()));
    }
    m_colourPicked = false;
}

void TFontDialog::applyTo(TFont &font) const
{
    const QFont chosen = m_chooser->currentFont();
    // A face the system lacks shows as a stand-in; it is replaced only when the user picks another.
    if (chosen.family() != m_presetFamily) {
        font.setName(faceName(chosen.family()));
        font.setCharset(TFont::DefaultCharset);
    }
    const int points = chosen.pointSize() > 0 ? chosen.pointSize() : qRound(chosen.pointSizeF());
    if (points > 0)
        font.setSize(points);

    TFontStyles style;
    if (chosen.weight() > QFont::Normal)
        style |= fsBold;
    if (chosen.italic())
        style |= fsItalic;
    if (chosen.underline())
        style |= fsUnderline;
    if (chosen.strikeOut())
        style |= fsStrikeOut;
    font.setStyle(style);

    if (m_colourPicked)
        font.setColor(m_colours->currentData().toInt());
}

bool TFontDialog::execute(QWidget *parent, TFont &font)
{
    TFontDialog dialog(parent);
    dialog.preset(font);
    placeSystemDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.applyTo(font);
    return true;
}
