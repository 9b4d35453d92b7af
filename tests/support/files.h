// Real files for tests: a temporary directory, whole-file reads and writes, md5sum.
#pragma once

#include <string>

// A fresh directory under /tmp, removed with everything in it at scope exit.
struct temp_dir {
    std::string path;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// The hex digest md5sum prints for a file, as an independent check of ours.
std::string md5sum_of(const std::string& path);
