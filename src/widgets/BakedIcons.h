#pragma once

#include <QIcon>
#include <QLatin1StringView>

// The program's images, drawn as SVG and rendered to pixels when it is built.
namespace BakedIcons {

struct Image
{
    const char *name;
    int scale;  // 1 for the design size, 2 for high-density screens
    int size;   // width and height in pixels
    const unsigned char *pixels; // premultiplied ARGB32, row by row
};

// The rendered image, or nullptr when there is none by that name and scale.
const Image *find(QLatin1StringView name, int scale);

// An icon with both renderings of the named image; a null icon for an unknown name.
QIcon icon(QLatin1StringView name);

} // namespace BakedIcons
