// A second process for the note file tests.
//   notefile_child hold <note file>
//       takes the note file's lock, prints "locked" and keeps it until stdin closes or it is killed.
//   notefile_child alternate <note file> <pad A file> <pad B file>
//       loads both pads, prints "ready", then saves B, A, B, ... to the note file for ever,
//       printing "saved" after each save and "tick" about every millisecond meanwhile.
//   notefile_child load-as <uid> <note file>
//       (started as root) becomes that user, loads the note file and prints "pages N".
#include "core/Exceptions.h"
#include "storage/FileLock.h"
#include "storage/NoteFile.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

enum ExitCode { Ok = 0, Usage = 2, Failed = 3 };

void say(const char *line)
{
    // One write per line, so lines from the two threads never interleave.
    const std::string text = std::string(line) + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
}

int hold(const QString &path)
{
    FileLock lock;
    if (NoteFile(path).lock(lock) != FileLock::Result::Locked) {
        say("lock failed");
        return Failed;
    }
    say("locked");
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return Ok;
}

int alternate(const QString &path, const QString &padA, const QString &padB)
{
    const NotePages pages[2] = {NoteFile(padB).load().value(), NoteFile(padA).load().value()};
    const NoteFile target(path);
    say("ready");

    std::thread ticker([] {
        for (;;) {
            say("tick");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ticker.detach();

    for (unsigned round = 0;; ++round) {
        target.save(pages[round % 2]);
        say("saved");
    }
}

int loadAs(uid_t user, const QString &path)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) {
        say("setuid failed");
        return Failed;
    }
    const std::optional<NotePages> pages = NoteFile(path).load();
    say(pages ? ("pages " + std::to_string(pages->size())).c_str() : "missing");
    return Ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args.at(1) == QLatin1String("hold"))
            return hold(args.at(2));
        if (args.size() == 4 && args.at(1) == QLatin1String("load-as"))
            return loadAs(uid_t(args.at(2).toUInt()), args.at(3));
        if (args.size() == 5 && args.at(1) == QLatin1String("alternate"))
            return alternate(args.at(2), args.at(3), args.at(4));
    } catch (const Exception &e) {
        say(("error: " + e.message().toStdString()).c_str());
        return Failed;
    }
    say("usage: notefile_child hold FILE | alternate FILE PAD_A PAD_B | load-as UID FILE");
    return Usage;
}
