#pragma once

#include <QString>

#include <initializer_list>

// A program a test runs, and the Debian package that installs it.
struct RequiredProgram
{
    const char *program;
    const char *package;
};

// Empty when every program is on PATH; otherwise names each missing one and its package,
// so a test fails at once instead of waiting on something that can never answer.
QString missingPrograms(std::initializer_list<RequiredProgram> programs);

#define PINNOTE_REQUIRE_PROGRAMS(...)                                                                                \
    do {                                                                                                             \
        const QString missing_ = missingPrograms({__VA_ARGS__});                                                     \
        if (!missing_.isEmpty())                                                                                     \
            QFAIL(qPrintable(missing_));                                                                             \
    } while (false)
