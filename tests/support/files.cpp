#include "files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
