// Windows: runs PROGRAM with its standard input a pipe of Windows' own, writes to it what this
// program reads from its standard input, then closes it; PROGRAM's reads then fail with
// ERROR_BROKEN_PIPE, which it must take for the end of the input. (Under Wine a pipe from the
// Unix side ends with a read of nothing instead.) Exits with PROGRAM's status.
// Usage: pipe_feeder PROGRAM < INPUT
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 2;
    }
    std::string input;
    char block[1 << 16];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), block, sizeof block, &got, nullptr) != 0 && got > 0) {
        input.append(block, got);
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (CreatePipe(&reader, &writer, &inherited, 0) == 0 || SetHandleInformation(writer, HANDLE_FLAG_INHERIT, 0) == 0) {
        return 3;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = reader;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // A Unix path, as the tests give it, is one on Wine's drive Z:.
    std::string command = std::string(argv[1][0] == '/' ? "Z:" : "") + argv[1];
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process) == 0) {
        return 4;
    }
    CloseHandle(reader);
    DWORD written = 0;
    for (std::size_t at = 0; at < input.size(); at += written) {
        if (WriteFile(writer, input.data() + at, static_cast<DWORD>(input.size() - at), &written, nullptr) == 0) {
            break;  // the program has ended before it read all
        }
    }
    CloseHandle(writer);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
