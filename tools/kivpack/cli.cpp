#include "tools/kivpack/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace kivpack {

enum { kStreamBuffer = 1 << 20 };

void FailUsage(const std::string& message) {
    throw Failure{kExitUsage, message};
}
void FailBad(const std::string& message) {
    throw Failure{kExitBad, message};
}

std::string AsTerminalText(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\r' && p[1] == '\n') {
            continue;
        }
        out += *p;
    }
    return out;
}

Arguments::Arguments(int argc, char** argv) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (!optionsEnded && (a == "--help" || a == "-h")) {
            wantsHelp_ = true;
            continue;
        }
        if (a == "--" && !optionsEnded) {
            optionsEnded = true;
            args_.push_back(a);
            used_.push_back(true);
            continue;
        }
        args_.push_back(a);
        used_.push_back(false);
    }
}

static bool IsOptionLike(const std::string& a) {
    return a.size() > 1 && a[0] == '-';
}

bool Arguments::Flag(const std::string& name) {
    bool found = false;
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--") {
            break;
        }
        if (!used_[i] && args_[i] == name) {
            used_[i] = true;
            found = true;
        }
    }
    return found;
}

std::vector<std::string> Arguments::Options(const std::string& name) {
    std::vector<std::string> values;
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--") {
            break;
        }
        if (used_[i]) {
            continue;
        }
        if (args_[i] == name) {
            if (i + 1 >= args_.size()) {
                FailUsage("option " + name + " needs a value");
            }
            used_[i] = used_[i + 1] = true;
            values.push_back(args_[i + 1]);
            ++i;
        } else if (args_[i].rfind(name + "=", 0) == 0 && name.rfind("--", 0) == 0) {
            used_[i] = true;
            values.push_back(args_[i].substr(name.size() + 1));
        }
    }
    return values;
}

bool Arguments::Option(const std::string& name, std::string* value) {
    std::vector<std::string> values = Options(name);
    if (values.size() > 1) {
        FailUsage("option " + name + " given more than once");
    }
    if (values.empty()) {
        return false;
    }
    *value = values[0];
    return true;
}

std::vector<std::string> Arguments::Positionals(size_t expected, const char* usage) {
    std::vector<std::string> out;
    bool optionsEnded = false;
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--" && used_[i]) {
            optionsEnded = true;
            continue;
        }
        if (used_[i]) {
            continue;
        }
        if (!optionsEnded && IsOptionLike(args_[i])) {
            FailUsage("unknown option " + args_[i] + "\nusage: " + usage);
        }
        out.push_back(args_[i]);
    }
    if (out.size() != expected) {
        FailUsage(std::string("usage: ") + usage);
    }
    return out;
}

File OpenInput(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        FailBad("cannot open " + path + ": " + std::strerror(errno));
    }
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        FailBad("cannot read " + path + ": it is a directory");
    }
    std::setvbuf(f, nullptr, _IOFBF, kStreamBuffer);
    return File(f);
}

AtomicOutput::AtomicOutput(const std::string& path) : path_(path) {
    std::random_device rd;
    for (int attempt = 0; attempt < 100 && !stream_; ++attempt) {
        temp_ = path_ + ".kivpack-" + std::to_string(rd() % 1000000) + ".tmp";
        // "x": never reuse a name that exists.
        stream_ = std::fopen(temp_.c_str(), "wbx");
        if (!stream_ && errno != EEXIST) {
            break;
        }
    }
    if (!stream_) {
        FailBad("cannot write " + path_ + ": " + std::strerror(errno));
    }
    buffer_.reset(new char[kStreamBuffer]);
    std::setvbuf(stream_, buffer_.get(), _IOFBF, kStreamBuffer);
}

AtomicOutput::~AtomicOutput() {
    if (stream_) {
        std::fclose(stream_);
        std::remove(temp_.c_str());
    }
}

void AtomicOutput::Commit() {
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
    if (!ok) {
        std::remove(temp_.c_str());
        FailBad("cannot write " + path_ + ": " + std::strerror(errno));
    }
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
        int e = errno;
        std::remove(temp_.c_str());
        FailBad("cannot write " + path_ + ": " + std::strerror(e));
    }
}

unsigned long long FileSize(std::FILE* f) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0) {
        FailBad(std::string("cannot read input: ") + std::strerror(errno));
    }
    return (unsigned long long)st.st_size;
}

bool ProgressWanted() {
    return isatty(fileno(stderr)) != 0;
}

}  // namespace kivpack
