#pragma once

// What differs between the POSIX systems and Windows: raw reads of standard input and writes to
// standard output, and the text of a failure. Each read or write returns the bytes it moved, 0
// at the end of the input, or -1 after a failure whose code it keeps for `failure_text`.

#include <cstddef>
#include <string>

namespace platform {

// The code of the last failed read or write, which main reports.
class FailureRecord {
public:
    int failure() const { return failure_code; }

protected:
    long fail(int code)
    {
        failure_code = code;
        return -1;
    }

private:
    int failure_code = 0;
};

}  // namespace platform

#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace platform {

inline bool is_console(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Standard input. At a console, Ctrl-Z (typed, then Enter) ends the input as Ctrl-D does in a
// POSIX terminal: what stands in front of it still counts.
class StandardInput : public FailureRecord {
public:
    long read(char* data, std::size_t size)
    {
        if (ctrl_z_seen) {
            return 0;
        }
        DWORD got = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 16));
        if (ReadFile(handle, data, wanted, &got, nullptr) == 0) {
            // A pipe whose writer has closed it reports that as a failure: it is the end.
            const DWORD code = GetLastError();
            return code == ERROR_BROKEN_PIPE ? 0 : fail(static_cast<int>(code));
        }
        const void* const ctrl_z = console ? std::memchr(data, 0x1A, got) : nullptr;
        if (ctrl_z != nullptr) {
            ctrl_z_seen = true;
            return static_cast<const char*>(ctrl_z) - data;
        }
        return static_cast<long>(got);
    }

private:
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    bool console = is_console(handle);
    bool ctrl_z_seen = false;
};

// Standard output, as UTF-8 bytes with LF line ends wherever it goes. A console is switched to
// the UTF-8 code page for the run, so that it shows the Italian "è" (without it, it shows the
// bytes in the console's own code page), and switched back at the end.
class StandardOutput : public FailureRecord {
public:
    StandardOutput()
    {
        if (is_console(handle)) {
            console_code_page = GetConsoleOutputCP();
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;
    ~StandardOutput()
    {
        if (console_code_page != 0) {
            SetConsoleOutputCP(console_code_page);
        }
    }

    long write(const char* data, std::size_t size)
    {
        DWORD written = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 16));
        if (WriteFile(handle, data, wanted, &written, nullptr) == 0) {
            return fail(static_cast<int>(GetLastError()));
        }
        return written == 0 ? fail(ERROR_WRITE_FAULT) : static_cast<long>(written);
    }

private:
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    UINT console_code_page = 0;
};

inline std::string failure_text(int code)
{
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code),
                   MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace platform

#else

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

// A call that a signal interrupts (EINTR) is made again: that is no failure.
class StandardInput : public FailureRecord {
public:
    long read(char* data, std::size_t size)
    {
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, data, size);
            if (got >= 0) {
                return static_cast<long>(got);
            }
            if (errno != EINTR) {
                return fail(errno);
            }
        }
    }
};

class StandardOutput : public FailureRecord {
public:
    long write(const char* data, std::size_t size)
    {
        for (;;) {
            const ssize_t written = ::write(STDOUT_FILENO, data, size);
            if (written > 0) {
                return static_cast<long>(written);
            }
            if (written == 0 || errno != EINTR) {
                return fail(written == 0 ? EIO : errno);
            }
        }
    }
};

inline std::string failure_text(int code) { return std::strerror(code); }

}  // namespace platform

#ifdef __wasi__
// In a web page (WebAssembly, WASI) a read of standard input waits for the keyboard, and a page
// cannot block: its glue unwinds the stack at the read and rewinds it once a line is typed
// (Binaryen's asyncify). It saves the stack here, out of the way of the program's own memory.
namespace platform {
alignas(16) inline unsigned char asyncify_buffer[1 << 14];
}
extern "C" [[clang::export_name("asyncify_buffer")]] inline void* asyncify_buffer()
{
    return platform::asyncify_buffer;
}
extern "C" [[clang::export_name("asyncify_buffer_size")]] inline std::size_t asyncify_buffer_size()
{
    return sizeof platform::asyncify_buffer;
}
#endif

#endif
