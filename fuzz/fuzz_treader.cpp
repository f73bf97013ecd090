// Feeds arbitrary bytes to the note file reader. Besides not crashing, whatever it accepts
// must survive a write and a second read unchanged.
#include "core/Exceptions.h"
#include "core/TextEncoding.h"
#include "storage/NoteFile.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    NotePages pages;
    try {
        pages = NoteFile::read(in);
    } catch (const Exception &) {
        return 0;
    }

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    NoteFile::write(out, pages);
    QByteArray written = out.data();
    QBuffer again(&written);
    again.open(QIODevice::ReadOnly);
    const NotePages reread = NoteFile::read(again);

    if (reread.size() != pages.size())
        std::abort();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QByteArray name = TextEncoding::encode(pages.at(i).name);
        const bool nameFits = name.size() <= NoteFile::MaxNameBytes;
        if (reread.at(i).text != pages.at(i).text)
            std::abort();
        if (nameFits ? reread.at(i).name != pages.at(i).name : !pages.at(i).name.startsWith(reread.at(i).name))
            std::abort();
    }
    return 0;
}
