#pragma once

#include <QString>

#include <functional>

class QIODevice;

// Writes an exported file in one go: the old file of that name, if any, is replaced
// only once every byte is on disk, and stays as it was when anything fails.
namespace ExportFile {

inline constexpr char StreamFailed[] = "Failed to Save Stream";

// Writes what stream hands to the device (stream returns false when the device took
// less than it was given). Throws EFCreateError when the file cannot be made in that
// place, EWriteError with StreamFailed when writing its content fails.
void write(const QString &fileName, const std::function<bool(QIODevice *)> &stream);

} // namespace ExportFile
