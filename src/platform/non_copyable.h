#pragma once

namespace auralyn::platform {

// A base for objects that own something for their lifetime (a library's
// initialisation, a redirected stream, a signal handler, a folder): copying
// one would release it twice.
class NonCopyable {
protected:
    NonCopyable() = default;
    ~NonCopyable() = default;

public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;
};

}  // namespace auralyn::platform
