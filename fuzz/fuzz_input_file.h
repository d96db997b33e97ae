// A file in the temporary folder that each fuzzer input is written to, for
// the readers that take a path. One per process, so that parallel fuzzing
// jobs do not share it; removed when the process ends normally.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

class FuzzInputFile
{
public:
    explicit FuzzInputFile(const std::string &suffix)
        : filePath((std::filesystem::temp_directory_path()
                    / ("vrax_fuzz_" + std::to_string(::getpid()) + suffix))
                       .string())
    {
    }
    FuzzInputFile(const FuzzInputFile &) = delete;
    FuzzInputFile &operator=(const FuzzInputFile &) = delete;
    ~FuzzInputFile() { std::remove(filePath.c_str()); }

    // Replaces the file's contents; aborts when the file cannot be written,
    // since every later input would then test nothing.
    const std::string &write(const std::uint8_t *data, std::size_t size)
    {
        std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
        out.close();
        if (!out)
            std::abort();
        return filePath;
    }

    const std::string &path() const { return filePath; }

private:
    const std::string filePath;
};
