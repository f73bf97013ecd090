#pragma once

#include <QRect>

class QWidget;

// Places the controls of a dialog drawn at a design resolution on this screen.
class DesignLayout
{
public:
    struct Box
    {
        int left, top, width, height;
    };

    explicit constexpr DesignLayout(int designPpi)
        : m_designPpi(designPpi)
    {
    }

    int scaled(int designValue) const;
    QRect scaled(const Box &box) const;

private:
    int m_designPpi;
};
