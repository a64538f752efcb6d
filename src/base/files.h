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

// Memory the system can give now, in MB (MemAvailable); 0 when unknown.
double availableMemoryMB();

// name inside dir ("." leaves name as it is).
std::string inDir(const std::string& dir, const std::string& name);

// A shell command run with dir as its working directory: the command as it
// is for ".", else prefixed by a change to dir.
std::string commandIn(const std::string& dir, const std::string& command);

// A program word that names a file of the working directory ("./csdp")
// made to work from any directory: the absolute path, quoted. Other words
// (a program found on the PATH, an already quoted path) are kept.
std::string fromAnyDirectory(const std::string& word);

}  // namespace chromasect
