#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "posix.h"

namespace rt::platform::posix {

void launchDetached(const char* program, const std::string& argument) {
    // Everything the children need is prepared before fork.
    std::string name = program;
    std::string copy = argument;
    char* argv[] = {name.data(), copy.data(), nullptr};
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        // The intermediate child: start the grandchild and leave at once,
        // so the grandchild belongs to init and nobody waits for it.
        if (fork() == 0) {
            setsid();
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
                if (null > 2) close(null);
            }
            execvp(argv[0], argv);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace rt::platform::posix
