#pragma once
// Looking for the outside programs a run calls.

#include <fstream>
#include <string>

namespace chromasect {

// A regular file that this process may execute.
bool isExecutableFile(const std::string& path);

// s as one word of a POSIX shell command, whatever characters it holds.
std::string shellQuote(const std::string& s);

// Makes a directory owned by this user alone; an existing one is kept.
void makeDirectory(const std::string& path);

// Memory the system can give now, in MB (MemAvailable, within an address
// space limit); 0 when unknown.
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

// A file written whole or not at all. The text goes to a temporary file
// beside `path` (its directory, so the rename never crosses file systems),
// which commit() flushes to the disk and renames over `path`. A write that
// fails, or an object that goes without commit() (an exception on the way),
// removes the temporary file and leaves `path` as it was. The new file gets
// the permissions a plain create would give it. A `path` that names a device
// or a pipe is written in place; one that is a symbolic link keeps the link
// and replaces the file it names.
class WholeFile {
  public:
    explicit WholeFile(const std::string& path);
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // False when the temporary file could not be made.
    bool isOpen() const { return out_.is_open(); }
    std::ostream& stream() { return out_; }

    // True when every byte reached the disk and `path` is the new file.
    bool commit();

  private:
    std::string path_;
    std::string temp_;
    std::ofstream out_;
};

// Why a file cannot be made at `path`: its directory does not exist, is not
// a directory or may not be written, or `path` is a directory. Empty when it
// can (the write itself may still fail, for want of space).
std::string whyNotWritable(const std::string& path);

}  // namespace chromasect
