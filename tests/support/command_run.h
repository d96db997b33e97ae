// Runs a command-line program as its user does, for the tests of the tools.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct CommandRun
{
    int status = -1;
    std::string output; // standard output and standard error
};

// Runs program with the arguments through the shell and waits for it to end.
inline CommandRun runCommand(const std::string &program, const std::string &arguments)
{
    CommandRun run;
    const std::string command = program + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
        run.output += buffer.data();
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
