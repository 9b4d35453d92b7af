// Runs the built hpmimg binary in a temporary directory for command-line tests.
#pragma once

#include <string>
#include <vector>

struct tool_result {
    int status; // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// A fresh directory under /tmp, removed with everything in it at scope exit.
struct temp_dir {
    std::string path;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Runs hpmimg with args in directory dir, TZ=UTC, stdin from /dev/null.
tool_result run_tool(const std::vector<std::string>& args, const std::string& dir);

// The same in two steps, for tests that signal the running tool.
struct running_tool {
    int pid;
    int out_fd;
    int err_fd;
};
running_tool start_tool(const std::vector<std::string>& args, const std::string& dir);
tool_result finish_tool(const running_tool& tool);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
long long file_size(const std::string& path); // -1 when stat fails
// The hex digest md5sum prints for a file, as an independent check of ours.
std::string md5sum_of(const std::string& path);
