#pragma once
// Looking for the outside programs a run calls.

#include <string>

namespace chromasect {

// A regular file that this process may execute.
bool isExecutableFile(const std::string& path);

// s as one word of a POSIX shell command, whatever characters it holds.
std::string shellQuote(const std::string& s);

// Makes a directory owned by this user alone; an existing one is kept.
void makeDirectory(const std::string& path);

// name inside dir ("." leaves name as it is).
std::string inDir(const std::string& dir, const std::string& name);

// A shell command run with dir as its working directory: the command as it
// is for ".", else prefixed by a change to dir.
std::string commandIn(const std::string& dir, const std::string& command);

// Runs a shell command like system() (standard output flushed first). The
// caller ignores an interrupt while the command runs, so one that ended the
// command is passed on to this process afterwards.
int runShell(const std::string& command);

// The same, with the command's standard output kept in `out` instead of
// written, so that output of commands run at once can come out in order.
int runShellCapture(const std::string& command, std::string& out);

// A program word that names a file of the working directory ("./csdp")
// made to work from any directory: the absolute path, quoted. Other words
// (a program found on the PATH, an already quoted path) are kept.
std::string fromAnyDirectory(const std::string& word);

}  // namespace chromasect
