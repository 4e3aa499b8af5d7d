// Shared plumbing of the kivpack subcommands: errors, arguments, files.
#ifndef KIV_TOOLS_KIVPACK_CLI_H
#define KIV_TOOLS_KIVPACK_CLI_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kivpack {

enum ExitCode { kExitOk = 0, kExitBad = 1, kExitUsage = 2 };

// Thrown by a subcommand to end the run: main prints "kivpack: <message>" on
// stderr (when the message is not empty) and exits with `code`.
struct Failure {
    int code;
    std::string message;
};

[[noreturn]] void FailUsage(const std::string& message);
[[noreturn]] void FailBad(const std::string& message);

// The bootstrapper's text as a terminal shows it: "\r\n" becomes "\n".
std::string AsTerminalText(const char* text);

// Arguments of one subcommand, after its name. Options are taken in any
// order; "--" ends them.
class Arguments {
   public:
    Arguments(int argc, char** argv);
    bool Flag(const std::string& name);                         // e.g. "--json"
    bool Option(const std::string& name, std::string* value);   // e.g. "-o" FILE
    std::vector<std::string> Options(const std::string& name);  // repeatable
    // The positional arguments; any option left unknown is a usage error.
    std::vector<std::string> Positionals(size_t expected, const char* usage);
    bool WantsHelp() const { return wantsHelp_; }

   private:
    std::vector<std::string> args_;
    std::vector<bool> used_;
    bool wantsHelp_ = false;
};

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) {
            std::fclose(f);
        }
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens an input for binary reading with a large buffer; fails the run with a
// clear message when it cannot.
File OpenInput(const std::string& path);

// An output that appears under its name only when complete: it is written
// beside the target under a temporary name and renamed by Commit(). Without
// a commit (an error, an exception) the temporary file is removed.
class AtomicOutput {
   public:
    explicit AtomicOutput(const std::string& path);
    ~AtomicOutput();
    std::FILE* stream() const { return stream_; }
    // Flushes, checks for write errors, and renames into place.
    void Commit();

   private:
    std::string path_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
    std::unique_ptr<char[]> buffer_;
};

// Size of an open file in bytes.
unsigned long long FileSize(std::FILE* f);

// True when stderr is a terminal, so progress may be drawn there.
bool ProgressWanted();

}  // namespace kivpack

#endif
