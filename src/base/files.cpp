#include "base/files.h"

#include <sys/stat.h>
#include <unistd.h>

namespace chromasect {

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace chromasect
