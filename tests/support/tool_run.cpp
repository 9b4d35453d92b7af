#include "tool_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef HPMIMG_BINARY
#error "HPMIMG_BINARY must name the built tool"
#endif
// Words that run a foreign-architecture binary, each followed by a comma; empty when native.
#ifndef HPMIMG_EMULATOR
#define HPMIMG_EMULATOR
#endif

namespace {

std::string drain(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(chunk, static_cast<std::size_t>(got));
    return text;
}

[[noreturn]] void exec_child(const std::vector<std::string>& args, const std::string& dir,
                             int out_fd, int err_fd) {
    // The test process may have blocked or ignored signals; the tool starts clean.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM})
        signal(sig, SIG_DFL);
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(dir.c_str()) != 0)
        _exit(126);
    setenv("TZ", "UTC", 1);
    static std::vector<std::string> command = {HPMIMG_EMULATOR HPMIMG_BINARY};
    std::vector<char*> argv;
    argv.reserve(command.size() + args.size() + 1);
    for (std::string& word : command)
        argv.push_back(word.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

} // namespace

temp_dir::temp_dir() {
    char pattern[] = "/tmp/hpmimg-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

temp_dir::~temp_dir() {
    std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        return;
}

running_tool start_tool(const std::vector<std::string>& args, const std::string& dir) {
    int out_pipe[2];
    if (pipe(out_pipe) != 0)
        throw std::runtime_error("pipe failed");
    char err_name[] = "/tmp/hpmimg-stderr-XXXXXX";
    running_tool tool;
    tool.err_fd = mkstemp(err_name);
    unlink(err_name);
    tool.pid = fork();
    if (tool.pid == 0) {
        close(out_pipe[0]);
        exec_child(args, dir, out_pipe[1], tool.err_fd);
    }
    close(out_pipe[1]);
    tool.out_fd = out_pipe[0];
    return tool;
}

tool_result finish_tool(const running_tool& tool) {
    tool_result result;
    result.out = drain(tool.out_fd);
    close(tool.out_fd);
    int wait_status = 0;
    waitpid(tool.pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    lseek(tool.err_fd, 0, SEEK_SET);
    result.err = drain(tool.err_fd);
    close(tool.err_fd);
    return result;
}

tool_result run_tool(const std::vector<std::string>& args, const std::string& dir) {
    return finish_tool(start_tool(args, dir));
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool file_exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

long long file_size(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

std::string md5sum_of(const std::string& path) {
    std::string command = "md5sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "";
    char line[128] = {};
    if (fgets(line, sizeof line, pipe) == nullptr)
        line[0] = '\0';
    pclose(pipe);
    return std::string(line, strnlen(line, 32));
}
