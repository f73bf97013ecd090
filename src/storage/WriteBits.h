#pragma once

#include <QFileDevice>

#include <sys/stat.h>

// A file with no write bit is read-only for every user, root too. access(),
// QFileInfo::isWritable() and QFileDevice::WriteUser let root through, so the note file,
// the export and the settings store look at the mode's own bits.
inline bool hasWriteBit(mode_t mode)
{
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

inline bool hasWriteBit(QFileDevice::Permissions permissions)
{
    return permissions.testAnyFlags(QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}
