#pragma once

#include "storage/TFont.h"

#include <QDialog>
#include <QFont>

class QComboBox;
class QFontDialog;

// The font chooser: face, style, size, underline and strikeout from the platform's
// font dialog, plus the text colour, whose first entry stands for the automatic
// window-text colour.
class TFontDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr char FontChooserName[] = "fontChooser";
    static constexpr char ColourComboName[] = "colourCombo";
    static constexpr int MaxPointSize = 32767;

    explicit TFontDialog(QWidget *parent = nullptr);

    // Runs the dialog preset from the font; on OK the font takes the choice and true is
    // returned, on Cancel the font is left as it was.
    static bool execute(QWidget *parent, TFont &font);

    void preset(const TFont &font);
    void applyTo(TFont &font) const;

    QFontDialog *fontChooser() const { return m_chooser; }
    QComboBox *colourCombo() const { return m_colours; }

private:
    void liftSizeLimit();
    int colourIndex(TColor colour);
    void showStyle(bool bold, bool italic);
    void faceChanged();
    void styleMayHaveChanged();

    QFontDialog *m_chooser = nullptr;
    QComboBox *m_colours = nullptr;
    QFont m_shown;
    bool m_colourPicked = false;
    // The weight and slant the user last had, kept across a change of face.
    QString m_face;
    bool m_bold = false;
    bool m_italic = false;
    bool m_settingStyle = false;
};
