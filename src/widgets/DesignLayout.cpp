#include "widgets/DesignLayout.h"

#include "widgets/ScreenPpi.h"

int DesignLayout::scaled(int designValue) const
{
    return qRound(double(designValue) * screenPpi() / m_designPpi);
}

QRect DesignLayout::scaled(const Box &box) const
{
    return QRect(scaled(box.left), scaled(box.top), scaled(box.width), scaled(box.height));
}
