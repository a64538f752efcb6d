#pragma once
// The run's private directory for the solvers' working files, so that runs
// started in one working directory never read each other's answers.

#include <string>

namespace chromasect {

// Made unique and owner-only inside the working directory (in the temporary
// directory when the working directory cannot be written), with a copy of
// the user's "param.csdp" when the working directory holds one. Removed with
// everything in it when the object goes (a fatal error included) and on
// SIGINT or SIGTERM, which then end the process as they would have.
class RunDirectory {
  public:
    // Where it is made: the working directory first, or the temporary
    // directory only (node-local on a cluster, for a worker process).
    enum class Where { WorkingDirectory, Temporary };
    explicit RunDirectory(Where where = Where::WorkingDirectory);  // none made: "ERROR| "
    ~RunDirectory();
    RunDirectory(const RunDirectory&) = delete;
    RunDirectory& operator=(const RunDirectory&) = delete;

    // Absolute path.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace chromasect
