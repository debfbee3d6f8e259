#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace auralyn::test {
namespace {

struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    Pipe() {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
        readEnd = fds[0];
        writeEnd = fds[1];
    }
};

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

[[noreturn]] void execChild(const std::string& program, const std::vector<std::string>& args,
                            const std::string& workingDirectory, Pipe& in, Pipe& out, Pipe& err) {
    dup2(in.readEnd, STDIN_FILENO);
    dup2(out.writeEnd, STDOUT_FILENO);
    dup2(err.writeEnd, STDERR_FILENO);
    for (Pipe* p : {&in, &out, &err}) {
        close(p->readEnd);
        close(p->writeEnd);
    }
    if (chdir(workingDirectory.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

// Feeds the input and collects both outputs without letting either pipe fill up.
void pump(const std::string& input, int inFd, int outFd, int errFd, ProgramRun& run) {
    std::size_t written = 0;
    if (input.empty()) closeFd(inFd);
    char buffer[65536];
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) closeFd(inFd);
        }
        int* fdsOut[2] = {&outFd, &errFd};
        std::string* sinks[2] = {&run.out, &run.err};
        for (int k = 0; k < 2; ++k) {
            if (*fdsOut[k] < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = read(*fdsOut[k], buffer, sizeof buffer);
            if (n > 0)
                sinks[k]->append(buffer, static_cast<std::size_t>(n));
            else
                closeFd(*fdsOut[k]);
        }
    }
    closeFd(inFd);
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& workingDirectory) {
    signal(SIGPIPE, SIG_IGN);
    Pipe in, out, err;
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) execChild(program, args, workingDirectory, in, out, err);
    close(in.readEnd);
    close(out.writeEnd);
    close(err.writeEnd);
    ProgramRun run;
    pump(input, in.writeEnd, out.readEnd, err.readEnd, run);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace auralyn::test
