#include "dialogs/TFontDialog.h"

#include "widgets/DialogPlacement.h"
#include "widgets/FontColour.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cstdlib>
#include <limits>

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

// Regular faces of some families report a medium weight (500); only a demibold or
// heavier face makes the font bold.
bool isBold(int weight)
{
    return weight >= QFont::DemiBold;
}

int pointSize(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
}

// The family's style closest to the wanted weight and slant, preferring the normal width.
QString closestStyle(const QString &family, bool bold, bool italic)
{
    static const QStringList OtherWidths = {QStringLiteral("Condensed"), QStringLiteral("Narrow"),
                                            QStringLiteral("Compressed"), QStringLiteral("Expanded"),
                                            QStringLiteral("Extended")};
    constexpr int SlantMismatch = 10000;
    constexpr int WidthMismatch = 1000;
    const int wantedWeight = bold ? QFont::Bold : QFont::Normal;

    QString best;
    int bestScore = std::numeric_limits<int>::max();
    for (const QString &style : QFontDatabase::styles(family)) {
        const QFont candidate = QFontDatabase::font(family, style, 12);
        int score = std::abs(candidate.weight() - wantedWeight);
        if ((candidate.style() != QFont::StyleNormal) != italic)
            score += SlantMismatch;
        for (const QString &width : OtherWidths) {
            if (style.contains(width, Qt::CaseInsensitive))
                score += WidthMismatch;
        }
        if (score < bestScore) {
            bestScore = score;
            best = style;
        }
    }
    return best;
}

// The chooser sits in the dialog as a plain widget; Enter in its lists and Escape, which
// would close the chooser alone and leave an empty dialog, close the whole dialog.
class EmbeddedChooser : public QFontDialog
{
public:
    using QFontDialog::QFontDialog;

protected:
    void done(int result) override
    {
        if (auto *outer = qobject_cast<QDialog *>(parentWidget()))
            outer->done(result);
    }

    // Its own buttons are hidden, so Enter in a field it does not take itself (the size,
    // the effects, the script) would end here unanswered; let it reach the dialog's OK.
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            event->ignore();
        else
            QFontDialog::keyPressEvent(event);
    }
};

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

    m_chooser = new EmbeddedChooser(this);
    m_chooser->setObjectName(QString::fromLatin1(FontChooserName));
    m_chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_chooser->setWindowFlags(Qt::Widget);
    m_chooser->setSizeGripEnabled(false);
    liftSizeLimit();
    // The face list comes first. A new face selects its first style unless one is named
    // alike, often an oblique one; after the chooser is done, pick the closest instead.
    if (const QListView *faces = m_chooser->findChild<QListView *>())
        connect(faces->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFontDialog::faceChanged);
    connect(m_chooser, &QFontDialog::currentFontChanged, this, &TFontDialog::styleMayHaveChanged);

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

    // The chooser's hidden OK would otherwise stay the default button and take Enter.
    for (QPushButton *hidden : m_chooser->findChildren<QPushButton *>()) {
        hidden->setDefault(false);
        hidden->setAutoDefault(false);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
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

void TFontDialog::showStyle(bool bold, bool italic)
{
    // The chooser matches styles by generic names ("Normal", "Italic") and falls back to
    // the first style of the family, which may be an oblique one; name the style exactly.
    const QFont shown = m_chooser->currentFont();
    const QString style = closestStyle(shown.family(), bold, italic);
    if (style.isEmpty() || style == shown.styleName())
        return;
    QFont exact = shown;
    exact.setStyleName(style);
    m_settingStyle = true;
    m_chooser->setCurrentFont(exact);
    m_settingStyle = false;
}

void TFontDialog::faceChanged()
{
    const QString face = m_chooser->currentFont().family();
    if (m_settingStyle || face == m_face)
        return;
    m_face = face;
    showStyle(m_bold, m_italic);
}

void TFontDialog::styleMayHaveChanged()
{
    const QFont shown = m_chooser->currentFont();
    if (m_settingStyle || shown.family() != m_face)
        return;
    m_bold = isBold(shown.weight());
    m_italic = shown.style() != QFont::StyleNormal;
}

void TFontDialog::preset(const TFont &font)
{
    QFont wanted = toQFont(font);
    // A face the system lacks is shown as the face that stands in for it, with that
    // face's styles; the name stays unless the user picks another face.
    if (!QFontDatabase::hasFamily(wanted.family()))
        wanted.setFamily(QFontInfo(wanted).family());
    m_bold = wanted.bold();
    m_italic = wanted.italic();
    m_settingStyle = true;
    m_chooser->setCurrentFont(wanted);
    m_settingStyle = false;
    m_face = m_chooser->currentFont().family();
    showStyle(m_bold, m_italic);
    m_shown = m_chooser->currentFont();
    {
        const QSignalBlocker blocker(m_colours);
        m_colours->setCurrentIndex(colourIndex(font.color()));
    }
    m_colourPicked = false;
}

void TFontDialog::applyTo(TFont &font) const
{
    const QFont chosen = m_chooser->currentFont();
    // What the user left alone stays as it was, so a face the system lacks, shown as a
    // stand-in, and a height between two point sizes survive an OK.
    if (chosen.family() != m_shown.family()) {
        font.setName(faceName(chosen.family()));
        font.setCharset(TFont::DefaultCharset);
    }
    const int points = pointSize(chosen);
    if (points > 0 && points != pointSize(m_shown))
        font.setSize(points);

    TFontStyles style = font.style() & (fsBold | fsItalic);
    const bool styleChanged = chosen.styleName() != m_shown.styleName() || chosen.weight() != m_shown.weight()
        || chosen.style() != m_shown.style();
    if (styleChanged) {
        style = {};
        if (isBold(chosen.weight()))
            style |= fsBold;
        if (chosen.style() != QFont::StyleNormal)
            style |= fsItalic;
    }
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
