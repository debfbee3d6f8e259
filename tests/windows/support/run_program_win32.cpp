// The program runner of the shared test helpers on Win32: a child process with its
// three standard handles on anonymous pipes, each pumped by a thread of its own so
// that no pipe can fill up and stall the child.
#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace auralyn::test {
namespace {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    void reset() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// One pipe whose child end is inherited and whose parent end is not.
struct Pipe {
    Handle parentEnd;
    Handle childEnd;

    explicit Pipe(bool childReads) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        Handle readEnd, writeEnd;
        if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0)) throw std::runtime_error("CreatePipe failed");
        Handle& parent = childReads ? writeEnd : readEnd;
        Handle& child = childReads ? readEnd : writeEnd;
        SetHandleInformation(parent.get(), HANDLE_FLAG_INHERIT, 0);
        std::swap(*parentEnd.out(), *parent.out());
        std::swap(*childEnd.out(), *child.out());
    }
};

// Quoted so that the child's runtime splits the line back into the same arguments.
std::string quoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string commandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = quoteArgument(program);
    for (const std::string& argument : args) {
        line += ' ';
        line += quoteArgument(argument);
    }
    return line;
}

void feed(HANDLE pipe, const std::string& input) {
    std::size_t written = 0;
    while (written < input.size()) {
        DWORD chunk = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(input.size() - written, 1u << 16));
        if (!WriteFile(pipe, input.data() + written, wanted, &chunk, nullptr)) return;  // the child stopped reading
        written += chunk;
    }
}

void drain(HANDLE pipe, std::string& sink) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& workingDirectory) {
    Pipe in(true), out(false), err(false);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.childEnd.get();
    startup.hStdOutput = out.childEnd.get();
    startup.hStdError = err.childEnd.get();

    std::string line = commandLine(program, args);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &process))
        throw std::runtime_error("cannot start " + program);
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    // Only the child may hold these now, or the pipes never report their end.
    in.childEnd.reset();
    out.childEnd.reset();
    err.childEnd.reset();

    ProgramRun run;
    std::thread writer([&] {
        feed(in.parentEnd.get(), input);
        in.parentEnd.reset();
    });
    std::thread errorReader([&] { drain(err.parentEnd.get(), run.err); });
    drain(out.parentEnd.get(), run.out);
    errorReader.join();
    writer.join();

    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    run.exitCode = static_cast<int>(exitCode);
    return run;
}

}  // namespace auralyn::test
